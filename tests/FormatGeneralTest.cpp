#include "app/FormatGeneral.h"

#include <gtest/gtest.h>

#include <limits>

namespace ormax {
namespace {

TEST(FormatGeneral, ExamplesOfTheShell) {
  EXPECT_EQ(FormatGeneral(0, 4), "0");
  EXPECT_EQ(FormatGeneral(87.5, 3), "87.5");
  EXPECT_EQ(FormatGeneral(99.96, 3), "100");
  EXPECT_EQ(FormatGeneral(TExtended(1.0) / 3, 7), "0.3333333");
  EXPECT_EQ(FormatGeneral(0.00001, 4), "1E-5");
  EXPECT_EQ(FormatGeneral(12345, 4), "1.235E4");
  EXPECT_EQ(FormatGeneral(0.05, 4), "0.05");
  EXPECT_EQ(FormatGeneral(12.5, 4), "12.5");
  EXPECT_EQ(FormatGeneral(123.456, 4), "123.5");
  EXPECT_EQ(FormatGeneral(0.000123, 4), "0.000123");
  EXPECT_EQ(FormatGeneral((1 - TExtended(4) / 10000) * 100, 3), "100");
  EXPECT_EQ(FormatGeneral((1 - TExtended(0.125)) * 100, 3), "87.5");
}

TEST(FormatGeneral, NotationBoundariesSignsAndSeparators) {
  EXPECT_EQ(FormatGeneral(0.0001, 4), "0.0001");  // exponent -3: still fixed
  EXPECT_EQ(FormatGeneral(0.00001234, 4), "1.234E-5");
  EXPECT_EQ(FormatGeneral(1234, 4), "1234");
  EXPECT_EQ(FormatGeneral(12340, 4), "1.234E4");
  EXPECT_EQ(FormatGeneral(100, 3), "100");
  EXPECT_EQ(FormatGeneral(1000, 3), "1E3");
  EXPECT_EQ(FormatGeneral(9999.5, 4), "1E4");  // rounding carries into a new digit
  EXPECT_EQ(FormatGeneral(0.125, 2), "0.13");  // half up, not half to even
  EXPECT_EQ(FormatGeneral(2.5, 1), "3");
  EXPECT_EQ(FormatGeneral(-0.05, 4), "-0.05");
  EXPECT_EQ(FormatGeneral(-12345, 4), "-1.235E4");
  EXPECT_EQ(FormatGeneral(0.05, 4, ','), "0,05");
  EXPECT_EQ(FormatGeneral(1.5e-7, 7, ','), "1,5E-7");
  EXPECT_EQ(FormatGeneral(1e20, 7), "1E20");
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::infinity(), 4), "INF");
}

}  // namespace
}  // namespace ormax
