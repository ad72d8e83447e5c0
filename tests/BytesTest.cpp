#include "codes/Bytes.h"

#include <gtest/gtest.h>

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
