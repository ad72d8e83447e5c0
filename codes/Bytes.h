// Bytes: the growable byte array in which primitives are serialised, and the four
// routines that append numbers to it and read them back, little-endian on any host.
//   TByteArray, AppendLittleEndian, AppendInteger, AppendDouble, ExtractInteger,
//   ExtractDouble
// An extract that would read past the end throws EReadError and leaves the cursor
// where it was; it never reads outside the array.
#pragma once

#include <cstdint>
#include <vector>

#include "codes/Errors.h"

namespace ormax {

using TByteArray = std::vector<uint8_t>;

// The low `size` bytes of value (1 to 8), lowest first.
void AppendLittleEndian(TByteArray& bytes, uint64_t value, int size);
void AppendInteger(TByteArray& bytes, int32_t value);
// The value is rounded to double when it is held in a wider format.
void AppendDouble(TByteArray& bytes, double value);
int32_t ExtractInteger(const TByteArray& bytes, int32_t& cursor);
double ExtractDouble(const TByteArray& bytes, int32_t& cursor);

}  // namespace ormax
