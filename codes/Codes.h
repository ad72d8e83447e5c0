// Codes: the flat, storable form of a representation tree and its file format.
//   TCodeItem, TCode (LevelOf, LastIndex, Depth, ClearItems, SaveToFile, LoadFromFile),
//   TCodeList (owning), CodeFileExt
// A code file: 20-byte header (items, Arity, AdmissibleError, MaxLevel) and then per
// item a flag byte, Index, data length and data, all little-endian.
// A code without items has LastIndex -1 and Depth -1. A damaged file fails to load
// with EReadError and leaves the code as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codes/Bytes.h"
#include "model/OwningList.h"

namespace ormax {

inline constexpr const char* CodeFileExt = ".c";

struct TCodeItem {
  uint8_t HasChildren = 0;  // 1 for an inner node, 0 for a leaf
  int32_t Index = 0;        // position in the complete Arity-ary numbering, root 0
  TByteArray Data;          // the node's serialised primitive
  friend bool operator==(const TCodeItem&, const TCodeItem&) = default;
};

class TCode {
 public:
  static constexpr size_t HeaderSize = 20;
  static constexpr size_t ItemHeaderSize = 9;
  // Larger files are refused before they are read into memory.
  static constexpr uint64_t MaxFileSize = uint64_t{1} << 30;

  std::vector<TCodeItem> Items;  // ascending Index
  int32_t Arity = 0;
  double AdmissibleError = 0.0;
  int32_t MaxLevel = 0;

  // Level of position i in the complete Arity-ary numbering (root 0). Defined for
  // every input: positions up to 0 are level 0; Arity 1 numbers a chain (level i);
  // an Arity below 1 has no children, so every position is level 0.
  int32_t LevelOf(int32_t i) const;
  // Index of the last item; -1 for a code without items.
  int32_t LastIndex() const;
  // LevelOf(LastIndex()); -1 for a code without items.
  int32_t Depth() const;
  void ClearItems() { Items.clear(); }

  // The file image; throws std::length_error for a code too large for the format.
  TByteArray SaveToBytes() const;
  // Replaces the whole code; throws EReadError (naming source) for a damaged image,
  // leaving the code unchanged.
  void LoadFromBytes(const TByteArray& image, const std::string& source);
  // Writes through a temporary file renamed over the target; "Cannot create file %s"
  // or "Stream write error" on failure, leaving an old file whole.
  void SaveToFile(const std::string& name) const;
  // "Cannot open file %s" or EReadError; the code is unchanged on failure.
  void LoadFromFile(const std::string& name);
};

class TCodeList : public TOwningList<TCode> {
 public:
  TCode& GetCode(int32_t i) { return Items(i); }
  const TCode& GetCode(int32_t i) const { return Items(i); }
};

}  // namespace ormax
