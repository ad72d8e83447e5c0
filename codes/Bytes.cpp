// Bytes: numbers appended and extracted byte by byte, little-endian whatever the host.
//   AppendLittleEndian, AppendInteger, AppendDouble, ExtractInteger, ExtractDouble
#include "codes/Bytes.h"

#include <bit>

namespace ormax {

void AppendLittleEndian(TByteArray& bytes, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

namespace {

uint64_t ExtractLittleEndian(const TByteArray& bytes, int32_t& cursor, int size) {
  if (cursor < 0 || static_cast<uint64_t>(cursor) + size > bytes.size())
    throw EReadError("Read beyond the end of the data");
  uint64_t value = 0;
  for (int i = 0; i < size; ++i)
    value |= static_cast<uint64_t>(bytes[static_cast<size_t>(cursor) + i]) << (8 * i);
  cursor += size;
  return value;
}

}  // namespace

void AppendInteger(TByteArray& bytes, int32_t value) {
  AppendLittleEndian(bytes, static_cast<uint32_t>(value), 4);
}

void AppendDouble(TByteArray& bytes, double value) {
  AppendLittleEndian(bytes, std::bit_cast<uint64_t>(value), 8);
}

int32_t ExtractInteger(const TByteArray& bytes, int32_t& cursor) {
  return static_cast<int32_t>(static_cast<uint32_t>(ExtractLittleEndian(bytes, cursor, 4)));
}

double ExtractDouble(const TByteArray& bytes, int32_t& cursor) {
  return std::bit_cast<double>(ExtractLittleEndian(bytes, cursor, 8));
}

}  // namespace ormax
