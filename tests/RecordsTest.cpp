#include "app/Records.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/Results.h"

namespace ormax {
namespace {

// Rows made on demand, the widest cells in the last rows (a minus sign counted in a
// whole number's width): the table's widths come from every row, not from the first.
TEST(Records, RowsMadeOnDemandGiveTheTextOfTheRowsHeld) {
  const std::vector<TRecord> rows = {
      TRecord().Add("name", std::string("a")).Add("n", 1LL).Add("x", 0.5),
      TRecord().Add("name", std::string("longer")).Add("n", -12345LL).Add("x", 1.0),
      TRecord().Add("name", std::string("b")).Add("n", 99999LL).Add("x", -2.25)};
  const TRowSource source = [&](size_t i) { return rows.at(i); };
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"table", "name    n       x\n"
                "a       1       0.5000\n"
                "longer  -12345  1.0000\n"
                "b       99999   -2.2500\n"},
      {"csv", "name,n,x\na,1,0.5\nlonger,-12345,1\nb,99999,-2.25\n"},
      {"json", "[\n {\"name\": \"a\", \"n\": 1, \"x\": 0.5},\n"
               " {\"name\": \"longer\", \"n\": -12345, \"x\": 1},\n"
               " {\"name\": \"b\", \"n\": 99999, \"x\": -2.25}\n]\n"}};
  for (const auto& [format, text] : expected) {
    std::ostringstream made, held, none;
    WriteRecords(made, format, rows.size(), source);
    WriteRecords(held, format, rows);
    WriteRecords(none, format, 0, source);
    EXPECT_EQ(made.str(), text) << format;
    EXPECT_EQ(held.str(), text) << format;
    EXPECT_EQ(none.str(), format == "json" ? "[\n]\n" : "") << format;
  }
  EXPECT_EQ(JsonArray({"1", "2"}, "  ", " "), "[\n  1,\n  2\n ]");
}

// A double of 60 digits or more before the point is written whole, and its column is
// as wide as it.
TEST(Records, LargeDoublesAreWrittenWithEveryDigit) {
  const std::string big = FixedDouble(1e70, 4);
  ASSERT_EQ(big.size(), 76u);
  EXPECT_EQ(big.substr(0, 3), "100");
  EXPECT_EQ(big.substr(71), ".0000");
  EXPECT_EQ(FixedDouble(-1e300, 0).size(), 302u);
  EXPECT_EQ(FixedDouble(-0.5, 2), "-0.50");
  std::ostringstream out;
  WriteTable(out, {TRecord().Add("x", 1e70).Add("y", 1LL)}, 4);
  EXPECT_EQ(out.str(), "x" + std::string(75, ' ') + "  y\n" + big + "  1\n");
}

// Rows over several blocks of rows, the widest name in the last row: every line is padded
// to it, the lines come in order across the blocks' edges, and any number of threads
// writes the same text as one.
TEST(Records, ManyRowsOnSeveralThreadsGiveOneThreadsText) {
  const size_t count = 3 * 4096 + 7;
  const std::string widest(30, 'w');
  const TRowSource source = [&](size_t i) {
    return TRecord()
        .Add("name", i + 1 == count ? widest : "r" + std::to_string(i))
        .Add("n", static_cast<long long>(i))
        .Add("x", static_cast<double>(i) / 4);
  };
  for (const std::string format : {"table", "csv", "json"}) {
    std::ostringstream one;
    WriteRecords(one, format, count, source, 1);
    for (const int32_t threads : {2, 3, 8, 0}) {
      std::ostringstream many;
      WriteRecords(many, format, count, source, threads);
      EXPECT_EQ(many.str(), one.str()) << format << " on " << threads << " threads";
    }
    std::istringstream text(one.str());
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    if (format == "table") {
      ASSERT_EQ(lines.size(), count + 1);
      EXPECT_EQ(lines[0].substr(0, 33), "name" + std::string(28, ' ') + "n");
      for (const size_t i : {size_t{0}, size_t{4095}, size_t{4096}, size_t{8193}, count - 2}) {
        std::string cells = "r" + std::to_string(i);
        cells.resize(widest.size(), ' ');
        cells += "  " + std::to_string(i);
        EXPECT_EQ(lines[i + 1].substr(0, cells.size()), cells) << i;
      }
      EXPECT_EQ(lines.back().substr(0, 32), widest + "  ");
    } else if (format == "csv") {
      ASSERT_EQ(lines.size(), count + 1);
      EXPECT_EQ(lines[4097], "r4096,4096,1024");
      EXPECT_EQ(lines.back(), widest + "," + std::to_string(count - 1) + ",3073.5");
    } else {
      ASSERT_EQ(lines.size(), count + 2);
      EXPECT_EQ(lines[4097], " {\"name\": \"r4096\", \"n\": 4096, \"x\": 1024},");
      EXPECT_EQ(lines[count + 1], "]");
    }
  }
}

}  // namespace
}  // namespace ormax
