// Bytes: the growable byte array in which primitives are serialised, and the routines
// that write numbers to it and read them back, little-endian on any host.
//   TByteArray, StoreLittleEndian, LoadLittleEndian (and their Integer and Double
//   forms), RequireBytes, AppendLittleEndian, AppendInteger, AppendDouble,
//   ExtractInteger, ExtractDouble
// An extract that would read past the end throws EReadError and leaves the cursor
// where it was; it never reads outside the array. Store and Load check no bounds: their
// caller has made or measured the room (a primitive's fixed fields, a code's items).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codes/Errors.h"

namespace ormax {

using TByteArray = std::vector<uint8_t>;

// Writes the low `size` bytes of value (1 to 8) at `at`, lowest first. On a
// little-endian host that is one copy, which the compiler makes a single store.
inline void StoreLittleEndian(uint8_t* at, uint64_t value, int size) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &value, static_cast<size_t>(size));
  } else {
    for (int i = 0; i < size; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
  }
}
// The `size` bytes (1 to 8) at `at`, lowest first, as a number. Neither checks the
// size: every caller passes a constant.
inline uint64_t LoadLittleEndian(const uint8_t* at, int size) {
  uint64_t value = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, at, static_cast<size_t>(size));
  } else {
    for (int i = 0; i < size; ++i) value |= static_cast<uint64_t>(at[i]) << (8 * i);
  }
  return value;
}
inline void StoreInteger(uint8_t* at, int32_t value) {
  StoreLittleEndian(at, static_cast<uint32_t>(value), 4);
}
inline void StoreDouble(uint8_t* at, double value) {
  StoreLittleEndian(at, std::bit_cast<uint64_t>(value), 8);
}
inline int32_t LoadInteger(const uint8_t* at) {
  return static_cast<int32_t>(static_cast<uint32_t>(LoadLittleEndian(at, 4)));
}
inline double LoadDouble(const uint8_t* at) {
  return std::bit_cast<double>(LoadLittleEndian(at, 8));
}

// Throws EReadError, as an extract past the end does, unless `size` bytes from `at`
// lie within bytes (at >= 0).
void RequireBytes(const TByteArray& bytes, int64_t at, size_t size);

// Appends the low `size` bytes of value (1 to 8), lowest first.
void AppendLittleEndian(TByteArray& bytes, uint64_t value, int size);
void AppendInteger(TByteArray& bytes, int32_t value);
// The value is rounded to double when it is held in a wider format.
void AppendDouble(TByteArray& bytes, double value);
int32_t ExtractInteger(const TByteArray& bytes, int32_t& cursor);
double ExtractDouble(const TByteArray& bytes, int32_t& cursor);

}  // namespace ormax
