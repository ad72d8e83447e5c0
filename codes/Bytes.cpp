// Bytes: numbers appended and extracted, little-endian whatever the host.
//   RequireBytes, AppendLittleEndian, AppendInteger, AppendDouble, ExtractInteger,
//   ExtractDouble
#include "codes/Bytes.h"

#include <bit>

namespace ormax {

void AppendLittleEndian(TByteArray& bytes, uint64_t value, int size) {
  const size_t at = bytes.size();
  bytes.resize(at + static_cast<size_t>(size));
  StoreLittleEndian(bytes.data() + at, value, size);
}

void RequireBytes(const TByteArray& bytes, int64_t at, size_t size) {
  // In this order no sum can wrap round, whatever size is asked for.
  if (at < 0 || static_cast<uint64_t>(at) > bytes.size() ||
      size > bytes.size() - static_cast<uint64_t>(at))
    throw EReadError("Read beyond the end of the data");
}

namespace {

uint64_t ExtractLittleEndian(const TByteArray& bytes, int32_t& cursor, int size) {
  RequireBytes(bytes, cursor, static_cast<size_t>(size));
  const uint64_t value = LoadLittleEndian(bytes.data() + cursor, size);
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
