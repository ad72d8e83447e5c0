#include "codes/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace ormax {
namespace {

TEST(Bytes, AppendsLittleEndian) {
  TByteArray b;
  AppendInteger(b, 1);
  EXPECT_EQ(b, (TByteArray{1, 0, 0, 0}));
  b.clear();
  AppendInteger(b, -1);
  EXPECT_EQ(b, (TByteArray{0xFF, 0xFF, 0xFF, 0xFF}));
  b.clear();
  AppendDouble(b, 1.0);
  EXPECT_EQ(b, (TByteArray{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  b.clear();
  AppendInteger(b, 0x12345678);
  EXPECT_EQ(b, (TByteArray{0x78, 0x56, 0x34, 0x12}));
}

TEST(Bytes, AppendKeepsEarlierBytesAndExtractReadsBack) {
  TByteArray b{0xAA};
  AppendInteger(b, -123456);
  AppendDouble(b, -0.1);
  AppendInteger(b, std::numeric_limits<int32_t>::min());
  ASSERT_EQ(b.size(), 17u);
  EXPECT_EQ(b[0], 0xAA);
  int32_t cursor = 1;
  EXPECT_EQ(ExtractInteger(b, cursor), -123456);
  EXPECT_EQ(ExtractDouble(b, cursor), -0.1);
  EXPECT_EQ(ExtractInteger(b, cursor), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(cursor, 17);
}

// In place, at an odd address: each size writes and reads only its own low bytes.
TEST(Bytes, StoreAndLoadInPlaceTakeTheLowBytes) {
  const uint64_t value = 0x8877665544332211u;
  for (int size = 1; size <= 8; ++size) {
    uint8_t place[11];
    std::fill(place, place + 11, uint8_t{0xEE});
    StoreLittleEndian(place + 1, value, size);
    EXPECT_EQ(place[0], 0xEE) << size;
    for (int i = 0; i < size; ++i) EXPECT_EQ(place[1 + i], 0x11 * (i + 1)) << size;
    EXPECT_EQ(place[1 + size], 0xEE) << size;
    const uint64_t low = size == 8 ? value : value & ((uint64_t{1} << (8 * size)) - 1);
    EXPECT_EQ(LoadLittleEndian(place + 1, size), low) << size;
  }
  // A whole number and a double, byte by byte.
  uint8_t place[12] = {};
  StoreInteger(place, -2);
  StoreDouble(place + 4, -0.1);
  const uint8_t expected[12] = {0xFE, 0xFF, 0xFF, 0xFF, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0xBF};
  EXPECT_TRUE(std::equal(place, place + 12, expected));
  EXPECT_EQ(LoadInteger(place), -2);
  EXPECT_EQ(LoadDouble(place + 4), -0.1);
  const TByteArray twelve(place, place + 12);
  EXPECT_NO_THROW(RequireBytes(twelve, 0, 12));
  EXPECT_NO_THROW(RequireBytes(twelve, 12, 0));
  EXPECT_THROW(RequireBytes(twelve, 9, 4), EReadError);
  EXPECT_THROW(RequireBytes(twelve, 13, 0), EReadError);
  EXPECT_THROW(RequireBytes(twelve, -1, 1), EReadError);
  EXPECT_THROW(RequireBytes(twelve, 4, SIZE_MAX - 2), EReadError);  // a size that would wrap
}

TEST(Bytes, ExtractPastTheEndThrowsAndKeepsCursor) {
  TByteArray b;
  AppendInteger(b, 7);
  AppendInteger(b, 8);
  int32_t cursor = 2;
  EXPECT_THROW(ExtractDouble(b, cursor), EReadError);
  EXPECT_EQ(cursor, 2);
  cursor = 5;
  EXPECT_THROW(ExtractInteger(b, cursor), EReadError);
  cursor = -1;
  EXPECT_THROW(ExtractInteger(b, cursor), EReadError);
  cursor = 4;
  EXPECT_EQ(ExtractInteger(b, cursor), 8);
  EXPECT_THROW(ExtractInteger(b, cursor), EReadError);
  TByteArray empty;
  cursor = 0;
  EXPECT_THROW(ExtractInteger(empty, cursor), EReadError);
}

}  // namespace
}  // namespace ormax
