// Collections: entry names that keep a shape, base lists edited without loss, and the
// leave-one-out counts on collections small enough to work out by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "analysis/Nearest.h"
#include "app/BaseList.h"
#include "app/EntryNames.h"
#include "app/FormatGeneral.h"
#include "app/LabelRule.h"
#include "app/LeaveOneOut.h"
#include "tests/Rasters.h"
#include "tests/TempDir.h"

namespace ormax {
namespace {

using testing::TempDir;

TEST(EntryNames, APicturesNameKeepsItsShapeAndNamesNeverCollide) {
  EXPECT_EQ(ShapeOfPictureName("star_2"), "star");
  EXPECT_EQ(ShapeOfPictureName("star"), "star");
  // A folder or truth file names the shape; a name that already tells it stays.
  EXPECT_EQ(PictureEntryName("01", "star"), "star_01");
  EXPECT_EQ(PictureEntryName("star_01", "star"), "star_01");
  EXPECT_EQ(PictureEntryName("star", "star"), "star");
  EXPECT_EQ(PictureEntryName("x", ""), "x");
  // '_' in a shape would cut it short; '@' in a name would start a turn; '%' a comment.
  EXPECT_EQ(PictureEntryName("01", "left_arrow"), "left-arrow_01");
  EXPECT_EQ(ShapeOfEntry(PictureEntryName("01", "left_arrow") + "@30"), "left-arrow");
  EXPECT_EQ(PictureEntryName("a@b", ""), "a-b");
  EXPECT_EQ(PictureEntryName("%x", ""), "-x");
  EXPECT_EQ(PictureEntryName("  ", ""), "picture");

  const auto names = UniqueEntryNames({"x", "x", "x_2", "y", "x"}, {"y"});
  EXPECT_EQ(names, (std::vector<std::string>{"x", "x_2", "x_2_2", "y_2", "x_3"}));
  for (const std::string& n : names) EXPECT_EQ(ShapeOfEntry(n), n[0] == 'x' ? "x" : "y");
}

// Entries of one code each (a root leaf of made-up data), named as given.
std::unique_ptr<TCodeBase> OneCodeBase(const std::vector<std::string>& names, int32_t level = 0) {
  auto base = std::make_unique<TCodeBase>();
  for (const std::string& n : names) {
    auto code = std::make_unique<TCode>();
    code->MaxLevel = level;
    TCodeItem item;
    item.Index = 0;
    item.Data = TByteArray(76, 0);  // the size of an ellipse
    code->Items.push_back(item);
    base->Add(n, std::move(code));
  }
  return base;
}

std::string Text(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(BaseList, NothingIsReplacedUnlessAskedForAndRemovingTakesTheFilesAlong) {
  TempDir dir;
  const std::string list = dir.File("base.txt");
  WriteNewBase(list, *OneCodeBase({"a@0", "a@90", "b_1@0"}), "% head\n", false);
  EXPECT_EQ(Text(list), "% head\na@0\na@90\nb_1@0\n");
  EXPECT_THROW(WriteNewBase(list, *OneCodeBase({"c"}), "% head\n", false), std::runtime_error);
  EXPECT_EQ(Text(list), "% head\na@0\na@90\nb_1@0\n");
  // Another list in the same folder may not take over this one's code files.
  EXPECT_THROW(WriteNewBase(dir.File("other.txt"), *OneCodeBase({"a@0"}), "", false),
               std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(dir.File("other.txt")));

  // Picture names in use: the list's and those of code files lying in its folder.
  std::ofstream(dir.File("stray@0.c")) << "x";
  EXPECT_EQ(TakenPictureNames(list), (std::set<std::string>{"a", "b_1", "stray"}));

  // By shape (b_1 is a b) or by picture; the code files go, the others stay.
  EXPECT_THROW(RemoveFromBase(list, {"zebra"}), std::runtime_error);
  EXPECT_THROW(RemoveFromBase(list, {"a", "b"}), std::runtime_error);  // nothing would be left
  EXPECT_EQ(Text(list), "% head\na@0\na@90\nb_1@0\n");
  const TRemoved removed = RemoveFromBase(list, {"b"});
  EXPECT_EQ(removed.Entries, 1);
  EXPECT_EQ(removed.Remaining, 2);
  EXPECT_EQ(Text(list), "% head\na@0\na@90\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("b_1@0.c")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("a@90.c")));

  // --force replaces the list, and deletes the code files only the old list named.
  WriteNewBase(list, *OneCodeBase({"a@0", "c"}), "% new\n", true);
  EXPECT_EQ(Text(list), "% new\na@0\nc\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("a@90.c")));
  TCodeBase loaded;
  EXPECT_EQ(loaded.LoadBaseList(list), 2);
}

TEST(BaseList, AddingAppendsOrFailsLeavingTheBaseAsItWas) {
  TempDir dir;
  const std::string list = dir.File("base.txt");
  {
    std::ofstream out(list, std::ios::binary);
    out << "% made\r\nx\r\ny";  // CR LF lines and no LF at the end stay as they are
  }
  const auto old = OneCodeBase({"x", "y"});
  for (int32_t i = 0; i < old->Count(); ++i)
    old->GetCode(i).SaveToFile(dir.File(old->Names(i) + ".c"));

  const auto grown = OneCodeBase({"x", "y", "z@0", "z@180"});
  // A code file that cannot be written (a folder in the way of its temporary file):
  // nothing is added, no new code file is left behind, and the base still loads.
  std::filesystem::create_directories(dir.File("z@180.c.part"));
  EXPECT_ANY_THROW(AddToBase(list, *grown, 2));
  EXPECT_EQ(Text(list), "% made\r\nx\r\ny");
  EXPECT_FALSE(std::filesystem::exists(dir.File("z@0.c")));
  TCodeBase still;
  EXPECT_EQ(still.LoadBaseList(list), 2);

  std::filesystem::remove(dir.File("z@180.c.part"));
  AddToBase(list, *grown, 2);
  EXPECT_EQ(Text(list), "% made\r\nx\r\ny\nz@0\nz@180\n");
  TCodeBase loaded;
  EXPECT_EQ(loaded.LoadBaseList(list), 4);
  // Adding never writes over a code file.
  EXPECT_THROW(AddToBase(list, *OneCodeBase({"x", "y", "z@0", "z@180", "x"}), 4),
               std::runtime_error);
}

TEST(BaseList, TheHeaderRecordsTheCopiesForLaterAdditions) {
  TempDir dir;
  TBaseOptions options;
  options.Turns = 12;
  options.Scales = {1, 0.7};
  options.Mirror = true;
  const std::string header = BaseListHeader(options);
  EXPECT_EQ(header,
            "% made by ormax-cli base: maximum tree level 2, admissible error 0\n"
            "% copies of each picture: turns 12, sizes 1 0.7, mirrored\n");
  std::ofstream(dir.File("l.txt")) << header << "a@0\n";
  const auto copies = CopiesOfBaseList(dir.File("l.txt"));
  ASSERT_TRUE(copies);
  EXPECT_EQ(copies->Turns, 12);
  EXPECT_EQ(copies->Scales, (std::vector<double>{1, 0.7}));
  EXPECT_TRUE(copies->Mirror);
  std::ofstream(dir.File("m.txt")) << "% copies of each picture: turns 0, sizes 1\n";
  EXPECT_FALSE(CopiesOfBaseList(dir.File("m.txt")));
  EXPECT_FALSE(CopiesOfBaseList(dir.File("none.txt")));
}

// Six pictures on a line at the positions below; the distance of two is how far apart
// they lie. Worked out by hand (others by distance, ties in collection order):
//   a1 at 0:  a2 1, b1 2, b2 3, a3 5, c1 10 -> a, right; N 3: the 6 nearest hold a2, a3
//   a2 at 1:  a1 1, b1 1, b2 2, a3 4, c1 9  -> a (a1 comes first), right; 2 of 2
//   a3 at 5:  b2 2, b1 3, a2 4, a1 5, c1 5  -> b, wrong; 2 of 2
//   b1 at 2:  a2 1, b2 1, a1 2, a3 3, c1 8  -> a (a2 comes first), wrong; N 2: the 4
//             nearest hold b2: 1 of 1
//   b2 at 3:  b1 1, a2 2, a3 2, a1 3, c1 7  -> b, right; 1 of 1
//   c1 at 10: the only c, not counted.
TEST(LeaveOneOut, CountsWorkedOutByHand) {
  const std::vector<std::string> shapes{"a", "a", "a", "b", "b", "c"};
  const std::vector<double> at{0, 1, 5, 2, 3, 10};
  const TLeaveOneOut r = ScoreLeaveOneOut(shapes, 2, [&](size_t q, size_t p) {
    return std::abs(at[q] - at[p]) / 100;
  });
  EXPECT_EQ(r.Counted, 5);
  EXPECT_EQ(r.Alone, 1);
  EXPECT_EQ(r.Shapes, 2);
  EXPECT_EQ(r.Evaluation.Right, 3);
  EXPECT_EQ(r.Evaluation.PerShape.at("a").Right, 2);
  EXPECT_EQ(r.Evaluation.PerShape.at("b").Right, 1);
  EXPECT_EQ((r.Evaluation.Confusions.at({"a", "b"})), 1);
  EXPECT_EQ((r.Evaluation.Confusions.at({"b", "a"})), 1);
  EXPECT_DOUBLE_EQ(r.Retrieval, 100.0);
  EXPECT_DOUBLE_EQ(r.Evaluation.RightSameness.back(), 99.0);

  // A window of 2N that misses: d's other drawing lies beyond its four nearest.
  const std::vector<std::string> far{"d", "e", "e", "e", "e", "d"};
  const std::vector<double> line{0, 1, 1, 1, 1, 9};
  const TLeaveOneOut f = ScoreLeaveOneOut(far, 1, [&](size_t q, size_t p) {
    return std::abs(line[q] - line[p]) / 10;
  });
  // d at 0: the four e first, then d: 0 of 1; d at 9: the same; each e: 3 of 3.
  EXPECT_DOUBLE_EQ(f.Retrieval, 100.0 * (0 + 0 + 4 * 1.0) / 6);
  EXPECT_EQ(f.Evaluation.Right, 4);
}

TEST(LeaveOneOut, DrawingsOfTwoShapesRecogniseEachOther) {
  // Bars of three lengths and three crosses: each finds its own kind among the others.
  const auto bar = [](int n) {
    std::vector<std::string> rows(5, std::string(static_cast<size_t>(n) + 2, '.'));
    for (int y = 1; y <= 3; ++y) for (int x = 1; x <= n; ++x) rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
    return testing::PatternFromRows(rows);
  };
  const auto cross = [](int n) {
    std::vector<std::string> rows(static_cast<size_t>(3 * n + 2), std::string(static_cast<size_t>(3 * n + 2), '.'));
    for (int y = 1; y <= 3 * n; ++y)
      for (int x = 1; x <= 3 * n; ++x)
        if ((x > n && x <= 2 * n) || (y > n && y <= 2 * n)) rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
    return testing::PatternFromRows(rows);
  };
  const std::vector<TPattern> pictures{bar(12), bar(16), cross(3), bar(20), cross(4), cross(5)};
  std::vector<TCollectionPicture> collection;
  const char* shapes[] = {"bar", "bar", "cross", "bar", "cross", "cross"};
  for (size_t i = 0; i < pictures.size(); ++i)
    collection.push_back({"p" + std::to_string(i), shapes[i] + std::to_string(i), shapes[i], &pictures[i]});
  TBaseOptions options;
  options.Turns = 4;
  options.Scales = {1};
  options.MaxTreeLevel = 1;
  const TLeaveOneOut r = LeaveOneOut(collection, options, 2);
  EXPECT_TRUE(r.Problems.empty());
  EXPECT_EQ(r.Counted, 6);
  EXPECT_EQ(r.Evaluation.Right, 6);
  EXPECT_DOUBLE_EQ(r.Retrieval, 100.0);
  EXPECT_EQ(LeaveOneOut(collection, options, 1).Evaluation.RightSameness,
            r.Evaluation.RightSameness);  // the thread count changes nothing
}

TEST(LeaveOneOut, TheSuggestionIsTheBestSettingWhoseBaseLoads) {
  std::vector<TLeaveOneOut> runs(3);
  runs[0].Level = 0;
  runs[0].Evaluation.Answers = 10;
  runs[0].Evaluation.Right = 7;
  runs[1].Level = 1;
  runs[1].Evaluation.Answers = 10;
  runs[1].Evaluation.Right = 9;
  runs[1].Loadable = false;  // better, but a base of it would not load
  runs[2].Level = 2;
  runs[2].Evaluation.Answers = 10;
  runs[2].Evaluation.Right = 8;
  EXPECT_EQ(SuggestedSetting(runs).Level, 2);
  runs[0].Evaluation.Right = 8;
  runs[0].Retrieval = 50;
  runs[2].Retrieval = 40;
  EXPECT_EQ(SuggestedSetting(runs).Level, 0);  // equal accuracy: the better retrieval
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

TEST(LabelRule, AThresholdAskedForIsTheRuleAndTheDefaultWeighsTheRunnerUp) {
  const TLabelRule asked{60.0};
  EXPECT_TRUE(IsLabelled(asked, 60, 59.9, 1));  // the runner-up and size do not matter then
  EXPECT_FALSE(IsLabelled(asked, 59.99, 0, 100000));
  EXPECT_TRUE(IsLabelled(TLabelRule{0.0}, 0, 0, 1));

  const TLabelRule rule;
  const double low = TLabelRule::LowestLabelled, sure = TLabelRule::DoubtfulBelow;
  const double margin = TLabelRule::ClearMargin;
  const int64_t big = TLabelRule::SmallestByMargin, tiny = big - 1;
  EXPECT_TRUE(IsLabelled(rule, sure, sure, tiny));  // sure enough whatever comes next
  EXPECT_FALSE(IsLabelled(rule, sure - 0.01, sure - 0.01, big));
  EXPECT_TRUE(IsLabelled(rule, low, low - margin, big));
  EXPECT_FALSE(IsLabelled(rule, low, low - margin, tiny));  // pixel noise could do that
  EXPECT_FALSE(IsLabelled(rule, low, low - margin / 2, big));  // another shape about as near
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(IsLabelled(rule, low, -inf, big));  // a base of one shape
  EXPECT_FALSE(IsLabelled(rule, low - 0.01, -inf, big));
  EXPECT_NE(LabelRuleHelp().find(FormatGeneral(margin, 6) + " points"), std::string::npos);
}

}  // namespace
}  // namespace ormax
