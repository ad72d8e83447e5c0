#include "app/Records.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/Results.h"

namespace ormax {
namespace {

// Rows made on demand, the widest cells in the last row: the table's widths come from
// every row, not from the first.
TEST(Records, RowsMadeOnDemandGiveTheTextOfTheRowsHeld) {
  const std::vector<TRecord> rows = {
      TRecord().Add("name", std::string("a")).Add("n", 1LL).Add("x", 0.5),
      TRecord().Add("name", std::string("longer")).Add("n", 12345LL).Add("x", -2.25)};
  const TRowSource source = [&](size_t i) { return rows.at(i); };
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"table", "name    n      x\n"
                "a       1      0.5000\n"
                "longer  12345  -2.2500\n"},
      {"csv", "name,n,x\na,1,0.5\nlonger,12345,-2.25\n"},
      {"json", "[\n {\"name\": \"a\", \"n\": 1, \"x\": 0.5},\n"
               " {\"name\": \"longer\", \"n\": 12345, \"x\": -2.25}\n]\n"}};
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

}  // namespace
}  // namespace ormax
