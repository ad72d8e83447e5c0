#include "codes/Codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "codes/Files.h"
#include "tests/TempDir.h"

namespace ormax {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TByteArray Data76(uint8_t seed) {
  TByteArray d(76);
  for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(seed + i * 7);
  return d;
}

TCode LeafRootCode() {
  TCode c;
  c.Items.push_back(TCodeItem{0, 0, Data76(3)});
  c.Arity = 2;
  c.AdmissibleError = 0.1;
  c.MaxLevel = 3;
  return c;
}

void ExpectSameCode(const TCode& a, const TCode& b) {
  EXPECT_EQ(a.Arity, b.Arity);
  EXPECT_EQ(std::memcmp(&a.AdmissibleError, &b.AdmissibleError, sizeof(double)), 0);
  EXPECT_EQ(a.MaxLevel, b.MaxLevel);
  EXPECT_EQ(a.Items, b.Items);
}

TEST(Codes, FileLayoutOfALeafRoot) {
  TempDir dir;
  const std::string name = dir.File(std::string("leaf") + CodeFileExt);
  LeafRootCode().SaveToFile(name);
  TByteArray file = ReadBytes(name);
  ASSERT_EQ(file.size(), 105u);
  const TByteArray head{0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x9A, 0x99,
                        0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F, 0x03, 0x00, 0x00, 0x00,
                        0x00, 0x00, 0x00, 0x00, 0x00, 0x4C, 0x00, 0x00, 0x00};
  EXPECT_EQ(TByteArray(file.begin(), file.begin() + 29), head);
  EXPECT_EQ(TByteArray(file.begin() + 29, file.end()), Data76(3));
  EXPECT_STREQ(CodeFileExt, ".c");
}

TEST(Codes, RoundTripThroughAFileIsBitForBit) {
  TempDir dir;
  TCode c;
  c.Arity = 2;
  c.AdmissibleError = std::nextafter(0.05, 1.0);  // the last bit must survive
  c.MaxLevel = 2;
  c.Items = {TCodeItem{1, 0, Data76(1)}, TCodeItem{0, 1, Data76(2)}, TCodeItem{1, 2, Data76(3)},
             TCodeItem{0, 5, {}}, TCodeItem{0, 6, Data76(5)}};
  const std::string name = dir.File("x.c");
  c.SaveToFile(name);
  EXPECT_EQ(ReadBytes(name).size(), 20u + 4 * 85 + 9);  // the empty item takes 9 bytes

  TCode back;
  back.Items = {TCodeItem{1, 99, Data76(9)}};  // old items must all go
  back.LoadFromFile(name);
  ExpectSameCode(back, c);

  TCode negativeZero;
  negativeZero.AdmissibleError = -0.0;
  TCode nz;
  nz.LoadFromBytes(negativeZero.SaveToBytes(), "memory");
  EXPECT_TRUE(std::signbit(nz.AdmissibleError));
}

// Only the same file image is the same code: one byte of data, the arity or the
// admissible error apart makes another.
TEST(Codes, FirstOfSameCodeGroupsEqualFileImages) {
  TCodeList list;
  auto add = [&](const TCode& c) { list.Add(std::make_unique<TCode>(c)); };
  const TCode a = LeafRootCode();
  TCode otherData = a, otherArity = a, otherError = a;
  otherData.Items[0].Data[75] ^= 1;
  otherArity.Arity = 4;
  otherError.AdmissibleError = 0.2;
  for (const TCode* c : std::vector<const TCode*>{&a, &otherData, &a, &otherArity, &otherError, &otherData, &a})
    add(*c);
  add(TCode());
  add(TCode());
  EXPECT_EQ(FirstOfSameCode(list), (std::vector<int32_t>{0, 1, 0, 3, 4, 1, 0, 7, 7}));
  EXPECT_TRUE(FirstOfSameCode(TCodeList()).empty());
}

TEST(Codes, CodeWithoutItems) {
  TempDir dir;
  TCode empty;
  empty.Arity = 2;
  const std::string name = dir.File("empty.c");
  empty.SaveToFile(name);
  EXPECT_EQ(ReadBytes(name).size(), 20u);
  TCode back = LeafRootCode();
  back.LoadFromFile(name);
  EXPECT_TRUE(back.Items.empty());
  EXPECT_EQ(back.LastIndex(), -1);
  EXPECT_EQ(back.Depth(), -1);
  // Bytes after the last item are ignored.
  TByteArray image = empty.SaveToBytes();
  image.push_back(0x55);
  back.LoadFromBytes(image, "memory");
  EXPECT_TRUE(back.Items.empty());
}

TEST(Codes, LevelOfBinaryAndWiderTrees) {
  TCode c;
  c.Arity = 2;
  EXPECT_EQ(c.LevelOf(0), 0);
  EXPECT_EQ(c.LevelOf(1), 1);
  EXPECT_EQ(c.LevelOf(2), 1);
  EXPECT_EQ(c.LevelOf(3), 2);
  EXPECT_EQ(c.LevelOf(6), 2);
  EXPECT_EQ(c.LevelOf(7), 3);
  EXPECT_EQ(c.LevelOf(14), 3);
  EXPECT_EQ(c.LevelOf(15), 4);
  EXPECT_EQ(c.LevelOf(std::numeric_limits<int32_t>::max() - 1), 30);  // 2^31 - 2
  EXPECT_EQ(c.LevelOf(std::numeric_limits<int32_t>::max()), 31);

  c.Arity = 3;  // levels start at 0, 1, 4, 13, 40
  EXPECT_EQ(c.LevelOf(3), 1);
  EXPECT_EQ(c.LevelOf(4), 2);
  EXPECT_EQ(c.LevelOf(12), 2);
  EXPECT_EQ(c.LevelOf(13), 3);
  EXPECT_EQ(c.LevelOf(40), 4);
  for (int32_t arity : {2, 3, 4, 1000, std::numeric_limits<int32_t>::max()}) {
    c.Arity = arity;
    EXPECT_EQ(c.LevelOf(0), 0);
  }
  c.Arity = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(c.LevelOf(std::numeric_limits<int32_t>::max()), 1);
  EXPECT_EQ(c.LevelOf(1), 1);

  // Arities a foreign file may hold: defined, never looping.
  c.Arity = 1;
  EXPECT_EQ(c.LevelOf(5), 5);
  for (int32_t arity : {0, -1, std::numeric_limits<int32_t>::min()}) {
    c.Arity = arity;
    EXPECT_EQ(c.LevelOf(12345), 0);
  }
  c.Arity = 2;
  EXPECT_EQ(c.LevelOf(-7), 0);
}

TEST(Codes, LastIndexAndDepthComeFromTheLastItem) {
  TCode c = LeafRootCode();
  EXPECT_EQ(c.LastIndex(), 0);
  EXPECT_EQ(c.Depth(), 0);
  c.Items.push_back(TCodeItem{0, 12, {}});
  EXPECT_EQ(c.LastIndex(), 12);
  EXPECT_EQ(c.Depth(), 3);
}

TEST(Codes, CodeListOwnsItsCodes) {
  TCodeList list;
  list.Add(std::make_unique<TCode>(LeafRootCode()));
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetCode(0).MaxLevel, 3);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

// ---- files that are damaged, cut short or made to hurt ----

TByteArray Header(int32_t count, int32_t arity = 2) {
  TByteArray b;
  AppendInteger(b, count);
  AppendInteger(b, arity);
  AppendDouble(b, 0.0);
  AppendInteger(b, 0);
  return b;
}

void AppendItem(TByteArray& b, uint8_t flag, int32_t index, int32_t length, size_t actual) {
  b.push_back(flag);
  AppendInteger(b, index);
  AppendInteger(b, length);
  b.insert(b.end(), actual, 0x11);
}

TEST(Codes, DamagedFilesFailAndLeaveTheCodeAsItWas) {
  const TCode original = LeafRootCode();
  std::vector<std::pair<std::string, TByteArray>> cases;
  cases.push_back({"empty file", {}});
  cases.push_back({"short header", TByteArray(19, 0)});
  cases.push_back({"negative count", Header(-1)});
  cases.push_back({"huge count", Header(std::numeric_limits<int32_t>::max())});
  {
    TByteArray b = Header(2);
    AppendItem(b, 0, 0, 76, 76);
    cases.push_back({"second item missing", b});
  }
  {
    TByteArray b = Header(1);
    AppendItem(b, 0, 0, 76, 75);
    cases.push_back({"data cut short", b});
  }
  {
    TByteArray b = Header(1);
    AppendItem(b, 0, 0, -1, 0);
    cases.push_back({"negative length", b});
  }
  {
    TByteArray b = Header(1);
    AppendItem(b, 0, 0, std::numeric_limits<int32_t>::max(), 4);
    cases.push_back({"huge length", b});
  }
  {
    TByteArray b = Header(2);
    AppendItem(b, 0, 0, 0, 0);
    b.push_back(1);
    AppendInteger(b, 1);  // ends inside the second item's header
    cases.push_back({"item header cut", b});
  }
  for (const auto& [what, image] : cases) {
    TCode c = LeafRootCode();
    EXPECT_THROW(c.LoadFromBytes(image, "bad.c"), EReadError) << what;
    ExpectSameCode(c, original);
  }
}

TEST(Codes, DamagedFileMessagesNameTheFile) {
  TempDir dir;
  const std::string name = dir.File("cut.c");
  TByteArray image = LeafRootCode().SaveToBytes();
  image.resize(60);
  WriteBytes(name, image);
  TCode c;
  try {
    c.LoadFromFile(name);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
  }
  try {
    c.LoadFromFile(dir.File("missing.c"));
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + dir.File("missing.c"));
  }
}

TEST(Codes, SaveFailuresKeepTheMessagesOfTheFormat) {
  TempDir dir;
  const std::string name = dir.File("nowhere/x.c");
  try {
    LeafRootCode().SaveToFile(name);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + name);
  }
}

}  // namespace
}  // namespace ormax

// ---- the base ----

namespace ormax {
namespace {

using testing::TempDir;

// A code whose deepest item lies on `depth`, built with `error`.
TCode CodeOfDepth(int32_t depth, double error, uint8_t seed = 0) {
  TCode c;
  c.Arity = 2;
  c.AdmissibleError = error;
  c.MaxLevel = depth;
  int32_t index = 0;
  for (int32_t level = 0; level < depth; ++level) {
    c.Items.push_back(TCodeItem{1, index, Data76(seed)});
    c.Items.push_back(TCodeItem{0, 2 * index + 1, Data76(seed)});
    index = 2 * index + 2;
  }
  c.Items.push_back(TCodeItem{0, index, Data76(seed)});
  std::sort(c.Items.begin(), c.Items.end(),
            [](const TCodeItem& a, const TCodeItem& b) { return a.Index < b.Index; });
  return c;
}

void WriteText(const std::string& name, const std::string& text) {
  testing::WriteBytes(name, TByteArray(text.begin(), text.end()));
}

std::vector<std::string> Names(const TCodeBase& base) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < base.Count(); ++i) out.push_back(base.Names(i));
  return out;
}

TEST(CodeBase, ListLinesAreTrimmedAndCommentsSkipped) {
  TempDir dir;
  CodeOfDepth(1, 0.05, 1).SaveToFile(dir.File("a.c"));
  CodeOfDepth(1, 0.05, 2).SaveToFile(dir.File("b.c"));
  WriteText(dir.File("list.txt"), "a\n\n% a comment\n  b \t\n");
  TCodeBase base;
  EXPECT_EQ(base.LoadBaseList(dir.File("list.txt")), 2);
  EXPECT_EQ(Names(base), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(base.GetCode(1).Items[0].Data, Data76(2));
  EXPECT_EQ(base.AdmissibleError, 0.05);
  EXPECT_EQ(base.MaxLevel, 1);

  // CR LF, a lone CR cutting the line, the same line twice, Ctrl-Z ending the file.
  WriteText(dir.File("dos.txt"),
            "b\r\na\rjunk\nb\n\x1a"
            "a\n");
  TCodeBase dos;
  EXPECT_EQ(dos.LoadBaseList(dir.File("dos.txt")), 3);
  EXPECT_EQ(Names(dos), (std::vector<std::string>{"b", "a", "b"}));
}

TEST(CodeBase, ListsWithoutCodesGiveAnEmptyBase) {
  TempDir dir;
  WriteText(dir.File("comments.txt"), "% only\n%comments\n\n");
  WriteText(dir.File("empty.txt"), "");
  TCodeBase base;
  EXPECT_EQ(base.LoadBaseList(dir.File("comments.txt")), 0);
  EXPECT_EQ(base.LoadBaseList(dir.File("empty.txt")), 0);
  EXPECT_TRUE(base.Empty());
}

TEST(CodeBase, SubFoldersWithEitherSeparator) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("bases/sub"));
  CodeOfDepth(2, 0.0).SaveToFile(dir.File("bases/sub/c.c"));
  WriteText(dir.File("bases/list.txt"), "sub\\c\nsub/c\n");
  TCodeBase base;
  EXPECT_EQ(base.LoadBaseList(dir.File("bases/list.txt")), 2);
  EXPECT_EQ(Names(base), (std::vector<std::string>{"sub\\c", "sub/c"}));

  // A list named without a folder resolves against the current folder.
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.File("bases"));
  TCodeBase here;
  EXPECT_EQ(here.LoadBaseList("list.txt"), 2);
  std::filesystem::current_path(old);
}

TEST(CodeBase, MismatchedSettingsRejectTheWholeBaseAndSayWhy) {
  TempDir dir;
  CodeOfDepth(2, 0.05).SaveToFile(dir.File("first.c"));
  CodeOfDepth(2, std::nextafter(0.05, 1.0)).SaveToFile(dir.File("lastbit.c"));
  CodeOfDepth(1, 0.05).SaveToFile(dir.File("shallow.c"));
  TCode claims = CodeOfDepth(1, 0.05);
  claims.MaxLevel = 2;  // the stored level is not what is tested: the depth is
  claims.SaveToFile(dir.File("claims.c"));
  TCode empty;
  empty.Arity = 2;
  empty.AdmissibleError = 0.05;
  empty.MaxLevel = 2;
  empty.SaveToFile(dir.File("empty.c"));
  const std::pair<const char*, const char*> cases[] = {
      {"lastbit",
       "it was built with admissible error 0.05000000000000001, the first code with 0.05"},
      {"shallow", "its tree reaches level 1, the first code's maximum level is 2"},
      {"claims", "its tree reaches level 1, the first code's maximum level is 2"},
      {"empty", "it holds no items"}};
  for (const auto& [second, reason] : cases) {
    WriteText(dir.File("list.txt"), std::string("first\nfirst\n") + second + "\n");
    TCodeBase base;
    try {
      base.LoadBaseList(dir.File("list.txt"));
      ADD_FAILURE() << second << " was accepted";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.File(), dir.File(std::string(second) + ".c"));
      EXPECT_EQ(e.Reason(), reason);
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
    EXPECT_TRUE(base.Empty()) << second;
  }
  // A code without items is refused as the first code too.
  WriteText(dir.File("list.txt"), "empty\nfirst\n");
  TCodeBase base;
  EXPECT_THROW(base.LoadBaseList(dir.File("list.txt")), EReadError);
  EXPECT_TRUE(base.Empty());

  // The first code is not tested against its own stored level (2, its depth is 1);
  // later codes are tested against that stored level.
  WriteText(dir.File("list.txt"), "claims\nfirst\n");
  EXPECT_EQ(base.LoadBaseList(dir.File("list.txt")), 2);
  EXPECT_EQ(base.MaxLevel, 2);
}

TEST(CodeBase, AdmitAppliesTheLoadTestToCodesMadeInMemory) {
  TCodeBase base;
  auto first = std::make_unique<TCode>(CodeOfDepth(2, 0.05));
  first->MaxLevel = 2;
  EXPECT_EQ(base.Admit("first", first), TBaseMismatch::None);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(base.MaxLevel, 2);
  EXPECT_EQ(base.AdmissibleError, 0.05);
  auto shallow = std::make_unique<TCode>(CodeOfDepth(1, 0.05));
  EXPECT_EQ(base.Admit("shallow", shallow), TBaseMismatch::OtherDepth);
  ASSERT_NE(shallow, nullptr);  // refused codes stay with the caller
  auto other = std::make_unique<TCode>(CodeOfDepth(2, 0.1));
  EXPECT_EQ(base.Admit("other", other), TBaseMismatch::OtherError);
  auto none = std::make_unique<TCode>();
  EXPECT_EQ(base.Admit("none", none), TBaseMismatch::NoItems);
  EXPECT_EQ(base.Count(), 1);
}

TEST(CodeBase, MissingOrDamagedFilesRaiseAndLeaveTheBaseAsItWas) {
  TempDir dir;
  CodeOfDepth(1, 0.0).SaveToFile(dir.File("a.c"));
  TByteArray cut = CodeOfDepth(1, 0.0).SaveToBytes();
  cut.resize(40);
  testing::WriteBytes(dir.File("cut.c"), cut);
  WriteText(dir.File("list.txt"), "a\nmissing\n");
  TCodeBase base;
  try {
    base.LoadBaseList(dir.File("list.txt"));
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + dir.File("missing.c"));
    EXPECT_EQ(e.File(), dir.File("missing.c"));
    EXPECT_EQ(e.Reason(), "No such file or directory");
  }
  EXPECT_TRUE(base.Empty());
  WriteText(dir.File("list.txt"), "a\ncut\n");
  try {
    base.LoadBaseList(dir.File("list.txt"));
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.File(), dir.File("cut.c"));
    EXPECT_EQ(e.Reason().rfind("damaged: ", 0), 0u) << e.Reason();
  }
  // An earlier good load stays whole when a later one fails.
  WriteText(dir.File("good.txt"), "a\n");
  ASSERT_EQ(base.LoadBaseList(dir.File("good.txt")), 1);
  EXPECT_THROW(base.LoadBaseList(dir.File("list.txt")), EReadError);
  EXPECT_EQ(base.Count(), 1);
  EXPECT_THROW(base.LoadBaseList(dir.File("no-list.txt")), EFileError);
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

TEST(CodeBase, ItemsTooShortForAnEllipseFailTheLoad) {
  testing::TempDir dir;
  TCode good;
  good.Arity = 2;
  good.Items.push_back(TCodeItem{0, 0, TByteArray(EllipseByteSize, 0)});
  good.SaveToFile(dir.File("good.c"));
  TCode shortData = good;
  shortData.Items[0].Data.resize(EllipseByteSize - 1);
  shortData.SaveToFile(dir.File("short.c"));
  testing::WriteBytes(dir.File("list.txt"),
                      TByteArray{'g', 'o', 'o', 'd', '\n', 's', 'h', 'o', 'r', 't', '\n'});
  TCodeBase base;
  try {
    base.LoadBaseList(dir.File("list.txt"));
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_NE(std::string(e.what()).find("short.c"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace ormax
