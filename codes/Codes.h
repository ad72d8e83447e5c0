// Codes: the flat, storable form of a representation tree, its file format, and the
// base of known codes.
//   TCodeItem, TCode (LevelOf, LastIndex, Depth, ClearItems, SaveToBytes, LoadFromBytes,
//   SaveToFile, LoadFromFile),
//   TCodeList (owning), FirstOfSameCode, CodeFileExt, EllipseByteSize, TBaseMismatch,
//   TCodeBase (LoadBaseList, MismatchOf, MismatchText, Admit), SplitBaseListLines
// A code file: 20-byte header (items, Arity, AdmissibleError, MaxLevel) and then per
// item a flag byte, Index, data length and data, all little-endian.
// A code without items has LastIndex -1 and Depth -1. A damaged file fails to load
// with EReadError and leaves the code as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codes/Bytes.h"
#include "codes/OwningList.h"

namespace ormax {

inline constexpr const char* CodeFileExt = ".c";
// The bytes of a serialised ellipse, the data of every item of a representation code.
inline constexpr size_t EllipseByteSize = 76;

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
  static constexpr uint64_t MaxFileSize = uint64_t{64} << 20;

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
  // Writes a new file in place, removing it when the write fails, and replaces an
  // existing one through a temporary renamed over it; "Cannot create file %s" or
  // "Stream write error" on failure, leaving an old file whole.
  void SaveToFile(const std::string& name) const;
  // "Cannot open file %s" or EReadError; the code is unchanged on failure.
  void LoadFromFile(const std::string& name);
};

class TCodeList : public TOwningList<TCode> {
 public:
  TCode& GetCode(int32_t i) { return Items(i); }
  const TCode& GetCode(int32_t i) const { return Items(i); }
};

// For each code of the list, the position of the first code with the same file image
// (itself when no earlier one has it): regions of one shape at several places share
// their code, and what depends on the code alone is worked out once for them.
std::vector<int32_t> FirstOfSameCode(const TCodeList& codes);

// Why a code cannot join a base.
enum class TBaseMismatch {
  None,        // it fits
  NoItems,     // a code without items would match every region at distance 0
  OtherError,  // built with another admissible error than the first code
  OtherDepth,  // its tree does not reach the first code's maximum level
};

// The known codes: entries (name, code) read from a base list file, all built with
// the same admissible error and reaching the same depth.
class TCodeBase {
 public:
  static constexpr char CommentChar = '%';
  static constexpr uint64_t MaxListFileSize = uint64_t{64} << 20;

  double AdmissibleError = 0.0;  // of the first code loaded
  int32_t MaxLevel = 0;          // of the first code loaded; every later Depth equals it

  TCodeBase() = default;
  TCodeBase(const TCodeBase&) = delete;
  TCodeBase& operator=(const TCodeBase&) = delete;

  // Appends one entry per code line of the list file: lines are trimmed, empty lines
  // and lines starting with '%' skipped, the others name code files relative to the
  // list's folder (a backslash or '/' separates folders), without the ".c". Every
  // code must Admit; the first of the file sets AdmissibleError and MaxLevel. Returns
  // the number added (0 for a list that names no code). Throws EFileError for a file
  // that cannot be read, and EReadError (naming the code file and the reason) for a
  // damaged code, a code whose items hold fewer bytes than an ellipse, or a code that
  // does not fit the first; the base is then as it was.
  int32_t LoadBaseList(const std::string& name);

  // The test every code of a base passes: it has items, and each code after the first
  // was built with the first code's admissible error and its tree reaches the first
  // code's maximum level. An empty base takes any code with items.
  TBaseMismatch MismatchOf(const TCode& code) const;
  // "its tree reaches level 2, the first code's maximum level is 3", and the like.
  std::string MismatchText(TBaseMismatch mismatch, const TCode& code) const;
  // Appends the entry when the code passes MismatchOf (the first entry sets the base's
  // AdmissibleError and MaxLevel); otherwise returns why and leaves code with the caller.
  TBaseMismatch Admit(std::string name, std::unique_ptr<TCode>& code);

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  bool Empty() const { return entries_.empty(); }
  const std::string& Names(int32_t i) const { return entries_.at(static_cast<size_t>(i)).Name; }
  const TCode& GetCode(int32_t i) const { return *entries_.at(static_cast<size_t>(i)).Code; }
  void Add(std::string name, std::unique_ptr<TCode> code);
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    std::string Name;
    std::unique_ptr<TCode> Code;
  };
  std::vector<Entry> entries_;
};

// The lines of a base list file: text up to the first CR or LF of each line, Ctrl-Z
// ending the file, each line trimmed of characters 0 to 32.
std::vector<std::string> SplitBaseListLines(const TByteArray& text);

}  // namespace ormax
