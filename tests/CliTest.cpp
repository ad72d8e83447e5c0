// ormax-cli end to end, in-process: every subcommand, each exit status, bad inputs,
// and the sample data (every region of every sample scene gets its expected label).
#include "cli/Commands.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/AppState.h"
#include "app/Records.h"
#include "app/RecognitionRows.h"
#include "app/SceneReading.h"
#include "app/Views.h"
#include "qt/QtCanvas.h"
#include "qt/QtBitmap.h"
#include "tests/QtRasters.h"
#include "tests/TempDir.h"

namespace ormax {
namespace {

using testing::TempDir;

struct CliRun {
  int Status;
  std::string Out, Err;
};

CliRun Cli(QStringList args) {
  args.prepend("ormax-cli");
  std::ostringstream out, err;
  const int status = RunCli(args, out, err);
  return {status, out.str(), err.str()};
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// '.' white, '#' red, 'g' green.
void WritePicture(const std::string& file, const std::vector<std::string>& rows) {
  testing::PictureFromRows(rows).save(Q(file));  // the format follows the name: .bmp or .png
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// `ormax-cli base PICTURES --turns 1 --level LEVEL -o LIST`: the pictures as they are.
CliRun PlainBase(QStringList pictures, const QString& level, const std::string& list) {
  return Cli(QStringList{"base"} + pictures + QStringList{"--turns", "1", "--level", level, "-o", Q(list)});
}

// A base's entry names, in order.
std::vector<std::string> NamesIn(const TCodeBase& base) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < base.Count(); ++i) names.push_back(base.Names(i));
  return names;
}

const std::vector<std::string> kBar = {"..........", ".########.", ".########.", ".........."};
const std::vector<std::string> kTwo = {"..........", ".###...gg.", ".###...gg.", ".........."};

TEST(Cli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Cli({}).Status, 2);
  const CliRun unknown = Cli({"paint"});
  EXPECT_EQ(unknown.Status, 2);
  EXPECT_NE(unknown.Err.find("unknown command 'paint'"), std::string::npos);
  EXPECT_EQ(Cli({"codes"}).Status, 2);  // no scene
  EXPECT_EQ(Cli({"codes", "x.bmp", "--level", "many"}).Status, 2);
  EXPECT_EQ(Cli({"codes", "x.bmp", "--level", "31"}).Status, 2);
  EXPECT_EQ(Cli({"codes", "x.bmp", "--error", "nan"}).Status, 2);
  EXPECT_EQ(Cli({"codes", "x.bmp", "--format", "xml"}).Status, 2);
  EXPECT_EQ(Cli({"codes", "x.bmp", "--bogus"}).Status, 2);
  EXPECT_EQ(Cli({"base", "x.bmp"}).Status, 2);  // no -o
  EXPECT_EQ(Cli({"base", "x.bmp", "-o", "l.txt", "--turns", "0"}).Status, 2);
  EXPECT_EQ(Cli({"recognize", "x.bmp"}).Status, 2);  // no --base
  EXPECT_EQ(Cli({"view", "x.bmp", "-o", "o.bmp", "--view", "sky"}).Status, 2);
  EXPECT_EQ(Cli({"view", "x.bmp", "-o", "o.bmp", "--view", "recognition"}).Status, 2);
  const CliRun usage = Cli({"recognize", "x.bmp"});
  EXPECT_NE(usage.Err.find("Try 'ormax-cli recognize --help'"), std::string::npos);
}

TEST(Cli, HelpForEveryCommand) {
  const CliRun overview = Cli({"--help"});
  EXPECT_EQ(overview.Status, 0);
  EXPECT_NE(overview.Out.find("recognize"), std::string::npos);
  for (const char* command : {"codes", "base", "recognize", "view"}) {
    const CliRun help = Cli({command, "--help"});
    EXPECT_EQ(help.Status, 0) << command;
    EXPECT_NE(help.Out.find("--"), std::string::npos) << command;
  }
  EXPECT_NE(Cli({"recognize", "--help"}).Out.find("clockwise"), std::string::npos);
}

// The usage line names the command as typed, whatever path the binary was started by.
TEST(Cli, UsageLinesNameTheCommandAndVersionIsTheProjects) {
  const std::map<std::string, std::string> files = {
      {"codes", "scenes…"}, {"base", "pictures…"}, {"recognize", "scenes…"}, {"view", "scene"}};
  for (const auto& [command, what] : files) {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"/usr/local/bin/ormax-cli", Q(command), "--help"}, out, err), 0) << command;
    EXPECT_EQ(Lines(out.str()).at(0), "Usage: ormax-cli " + command + " [options] " + what);
    EXPECT_EQ(out.str().find("/usr/local"), std::string::npos) << command;
  }
  const CliRun version = Cli({"--version"});
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out, std::string("ormax-cli ") + ORMAX_VERSION + "\n");
  EXPECT_TRUE(version.Err.empty());
  EXPECT_NE(Cli({"--help"}).Out.find("--version"), std::string::npos);
}

TEST(Cli, CodesWritesTheDesktopProgramsCodes) {
  TempDir dir;
  WritePicture(dir.File("two.bmp"), kTwo);
  WritePicture(dir.File("bar.png"), kBar);  // any format Qt reads
  const CliRun run = Cli(
      {Q(dir.File("two.bmp")), Q(dir.File("bar.png")), "--level", "2", "-o", Q(dir.File("out"))});
  ASSERT_EQ(run.Status, 2) << "the command comes first";
  const CliRun codes = Cli({"codes", Q(dir.File("two.bmp")), Q(dir.File("bar.png")), "--level", "2",
                            "-o", Q(dir.File("out"))});
  ASSERT_EQ(codes.Status, 0) << codes.Err;
  const auto lines = Lines(codes.Out);
  ASSERT_EQ(lines.size(), 4u);  // header and three regions
  EXPECT_NE(lines[0].find("pixels"), std::string::npos);
  EXPECT_NE(lines[0].find("depth"), std::string::npos);

  // The same bytes as the pipeline of the desktop program gives.
  TAppState s;
  s.SceneImage = ScenePattern(LoadScenePicture(Q(dir.File("two.bmp")), true));
  s.MaxTreeLevel = 2;
  s.BuildSceneCodes();
  ASSERT_EQ(s.SceneCodes.Count(), 2);
  for (int r = 0; r < 2; ++r) {
    TCode written;
    written.LoadFromFile(dir.File("out/two-" + std::to_string(r) + ".c"));
    EXPECT_EQ(written.SaveToBytes(), s.SceneCodes.GetCode(r).SaveToBytes());
  }
  EXPECT_TRUE(std::filesystem::exists(dir.File("out/bar-0.c")));

  const CliRun csv =
      Cli({"codes", Q(dir.File("two.bmp")), "-o", Q(dir.File("out")), "--format", "csv"});
  EXPECT_EQ(Lines(csv.Out)[0], "scene,region,left,top,right,bottom,pixels,depth,items,file");
  EXPECT_NE(Lines(csv.Out)[1].find(",0,1,1,3,2,6,0,1,"), std::string::npos) << csv.Out;
  const CliRun json =
      Cli({"codes", Q(dir.File("two.bmp")), "-o", Q(dir.File("out")), "--format", "json"});
  EXPECT_EQ(json.Out.front(), '[');
  EXPECT_NE(json.Out.find("\"pixels\": 6"), std::string::npos);
}

std::string ReadText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The files of a folder, name by name, with their bytes.
std::map<std::string, TByteArray> FilesOf(const std::string& folder) {
  std::map<std::string, TByteArray> files;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    files[e.path().filename().string()] = testing::ReadBytes(e.path().string());
  return files;
}

// -o FILE.tar: one archive that unpacks to the code files -o DIR writes, whatever the
// jobs; the table names each code inside it. A bad scene leaves the others' codes in
// it; an archive that cannot be written leaves nothing.
TEST(Cli, CodesIntoOneTarArchive) {
  if (std::system("tar --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no tar";
  TempDir dir;
  WritePicture(dir.File("two.bmp"), kTwo);
  WritePicture(dir.File("bar.bmp"), kBar);
  std::ofstream(dir.File("text.bmp")) << "not a picture";
  const QStringList scenes = {Q(dir.File("two.bmp")), Q(dir.File("text.bmp")), Q(dir.File("bar.bmp"))};
  const CliRun files = Cli(QStringList{"codes"} + scenes + QStringList{"--level", "2", "-o", Q(dir.File("dir"))});
  ASSERT_EQ(files.Status, 1) << files.Err;
  for (const char* jobs : {"1", "3"}) {
    const std::string archive = dir.File(std::string("codes") + jobs + ".TAR");
    const CliRun run = Cli(QStringList{"codes"} + scenes +
                           QStringList{"--level", "2", "-o", Q(archive), "--jobs", jobs, "-f", "csv"});
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Err.find("text.bmp"), std::string::npos) << run.Err;
    EXPECT_NE(run.Out.find("," + archive + "(two-1.c)\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("," + archive + "(bar-0.c)\n"), std::string::npos) << run.Out;
    ASSERT_TRUE(std::filesystem::is_regular_file(archive));
    const std::string out = dir.File(std::string("unpacked") + jobs);
    std::filesystem::create_directory(out);
    ASSERT_EQ(std::system(("tar -xf '" + archive + "' -C '" + out + "'").c_str()), 0);
    EXPECT_EQ(FilesOf(out), FilesOf(dir.File("dir"))) << jobs << " jobs";
    EXPECT_EQ(FilesOf(out).size(), 3u);
    // Stored in the table's order, whatever the threads.
    ASSERT_EQ(std::system(("tar -tf '" + archive + "' > '" + out + ".txt'").c_str()), 0);
    EXPECT_EQ(ReadText(out + ".txt"), "two-0.c\ntwo-1.c\nbar-0.c\n");
  }
  // When no scene can be read, an archive already there stays as it was, and none is
  // made where there was none.
  const std::string kept = dir.File("codes1.TAR");
  const std::string before = ReadText(kept);
  const CliRun unread = Cli({"codes", Q(dir.File("text.bmp")), "-o", Q(kept)});
  EXPECT_EQ(unread.Status, 1);
  EXPECT_NE(unread.Err.find("text.bmp"), std::string::npos) << unread.Err;
  EXPECT_EQ(ReadText(kept), before);
  EXPECT_EQ(Cli({"codes", Q(dir.File("text.bmp")), "-o", Q(dir.File("none.tar"))}).Status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.tar")));
  // A .tar that is a folder stays a folder.
  std::filesystem::create_directory(dir.File("folder.tar"));
  ASSERT_EQ(Cli({"codes", Q(dir.File("bar.bmp")), "-o", Q(dir.File("folder.tar"))}).Status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir.File("folder.tar/bar-0.c")));
  // An archive that cannot be put in place (a folder holds its name's place below):
  // the error names it, and no archive nor temporary is left.
  std::filesystem::create_directories(dir.File("full"));
  std::ofstream(dir.File("full/blocked")) << "a file where a folder should be";
  const CliRun blocked =
      Cli({"codes", Q(dir.File("bar.bmp")), "-o", Q(dir.File("full/blocked/codes.tar"))});
  EXPECT_EQ(blocked.Status, 1);
  EXPECT_NE(blocked.Err.find("blocked"), std::string::npos) << blocked.Err;
  EXPECT_EQ(FilesOf(dir.File("full")).size(), 1u);
}

TEST(Cli, BadPicturesAreNamedAndTheRestGoesOn) {
  TempDir dir;
  WritePicture(dir.File("good.bmp"), kBar);
  std::ofstream(dir.File("text.bmp")) << "not a picture";
  {
    QFile::copy(Q(dir.File("good.bmp")), Q(dir.File("cut.bmp")));
    std::filesystem::resize_file(dir.File("cut.bmp"), 40);
  }
  const CliRun run =
      Cli({"codes", Q(dir.File("text.bmp")), Q(dir.File("good.bmp")), Q(dir.File("cut.bmp")),
           Q(dir.File("missing.bmp")), "-o", Q(dir.File("o"))});
  EXPECT_EQ(run.Status, 1);
  for (const char* name : {"text.bmp", "cut.bmp", "missing.bmp"})
    EXPECT_NE(run.Err.find(dir.File(name)), std::string::npos) << name << "\n" << run.Err;
  EXPECT_EQ(Lines(run.Err).size(), 3u);
  EXPECT_TRUE(std::filesystem::exists(dir.File("o/good-0.c")));
}

TEST(Cli, BaseTurnsMirrorsAndNamesItsEntries) {
  TempDir dir;
  WritePicture(dir.File("bar.bmp"), kBar);
  WritePicture(dir.File("ell.bmp"),
               {".......", ".##....", ".##....", ".#####.", ".#####.", "......."});
  const CliRun plain =
      PlainBase({Q(dir.File("bar.bmp")), Q(dir.File("ell.bmp"))}, "1", dir.File("plain/list.txt"));
  ASSERT_EQ(plain.Status, 0) << plain.Err;
  TCodeBase base;
  base.LoadBaseList(dir.File("plain/list.txt"));
  EXPECT_EQ(NamesIn(base), (std::vector<std::string>{"bar", "ell"}));
  EXPECT_EQ(base.MaxLevel, 1);

  const CliRun turned = Cli({"base", Q(dir.File("ell.bmp")), "--turns", "4", "--mirror", "--level",
                             "1", "--scales", "1,2", "-o", Q(dir.File("turned/list.txt"))});
  ASSERT_EQ(turned.Status, 0) << turned.Err;
  TCodeBase tb;
  tb.LoadBaseList(dir.File("turned/list.txt"));
  // Every turn, then every turn again at twice the size; then the mirrored ones alike.
  EXPECT_EQ(NamesIn(tb),
            (std::vector<std::string>{"ell@0", "ell@90", "ell@180", "ell@270", "ell@0x2",
                                      "ell@90x2", "ell@180x2", "ell@270x2", "ell@m0", "ell@m90",
                                      "ell@m180", "ell@m270", "ell@m0x2", "ell@m90x2",
                                      "ell@m180x2", "ell@m270x2"}));
  // A quarter turn by whole pixels is the same region turned: same code up to rounding.
  EXPECT_LT(CodeDistance(tb.GetCode(0), tb.GetCode(1)), 0.2);
}

TEST(Cli, BaseRefusesWhatWouldNotLoad) {
  TempDir dir;
  WritePicture(dir.File("bar.bmp"), kBar);
  WritePicture(dir.File("two.bmp"), kTwo);
  WritePicture(dir.File("white.bmp"), {"....", "...."});
  const CliRun bad =
      Cli({"base", Q(dir.File("bar.bmp")), Q(dir.File("two.bmp")), Q(dir.File("white.bmp")),
           "--turns", "1", "-o", Q(dir.File("b/list.txt"))});
  EXPECT_EQ(bad.Status, 1);
  EXPECT_NE(bad.Err.find(dir.File("two.bmp") + ": 2 regions"), std::string::npos) << bad.Err;
  EXPECT_NE(bad.Err.find(dir.File("white.bmp") + ": 0 regions"), std::string::npos) << bad.Err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("b/list.txt")));

  const CliRun skipped = Cli({"base", Q(dir.File("bar.bmp")), Q(dir.File("two.bmp")), "--turns",
                              "1", "--skip-bad", "-o", Q(dir.File("b/list.txt"))});
  EXPECT_EQ(skipped.Status, 0) << skipped.Err;
  TCodeBase base;
  EXPECT_EQ(base.LoadBaseList(dir.File("b/list.txt")), 1);

  // A large admissible error leaves some trees short of the maximum level: the base
  // would be refused on loading, so nothing is written and the shape is named.
  WritePicture(dir.File("dot.bmp"), {"...", ".#.", "..."});
  const CliRun shallow = Cli({"base", Q(dir.File("bar.bmp")), Q(dir.File("dot.bmp")), "--turns",
                              "1", "--level", "2", "-o", Q(dir.File("c/list.txt"))});
  EXPECT_EQ(shallow.Status, 1);
  EXPECT_NE(shallow.Err.find("dot"), std::string::npos) << shallow.Err;
  EXPECT_NE(shallow.Err.find("smaller --level"), std::string::npos) << shallow.Err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("c/list.txt")));
}

TEST(Cli, ViewDrawsEveryView) {
  TempDir dir;
  WritePicture(dir.File("two.bmp"), kTwo);
  ASSERT_EQ(Cli({"base", Q(dir.File("two.bmp")), "--turns", "1", "--skip-bad", "-o",
                 Q(dir.File("none.txt"))})
                .Status,
            1);  // nothing usable
  WritePicture(dir.File("bar.bmp"), kBar);
  ASSERT_EQ(Cli({"base", Q(dir.File("bar.bmp")), "--turns", "1", "--level", "0", "-o",
                 Q(dir.File("list.txt"))})
                .Status,
            0);
  for (const char* view : {"scene", "quadro", "segmentation", "representation", "recognition"}) {
    const std::string out = dir.File(std::string(view) + ".bmp");
    const CliRun run = Cli({"view", Q(dir.File("two.bmp")), "--view", view, "--base",
                            Q(dir.File("list.txt")), "-o", Q(out)});
    ASSERT_EQ(run.Status, 0) << view << run.Err;
    QImage img(Q(out));
    ASSERT_EQ(img.size(), QSize(10, 4)) << view;
  }
  EXPECT_EQ(QImage(Q(dir.File("scene.bmp"))).pixel(7, 1), qRgb(0, 255, 0));
  EXPECT_EQ(QImage(Q(dir.File("segmentation.bmp"))).pixel(1, 1), qRgb(0, 0, 0));  // frame
  const CliRun missing =
      Cli({"view", Q(dir.File("nope.bmp")), "--view", "scene", "-o", Q(dir.File("x.bmp"))});
  EXPECT_EQ(missing.Status, 1);
}

// The pictures of the views drawn from the regions alone (the picture made once the
// scene's pixels are let go, the trees drawn as they are made on every core, the
// nearest entries found region by region) are those of the whole analysis drawn at
// once, for a scene of many overlapping ellipses.
TEST(Cli, ViewsOfManyRegionsAreTheWholeAnalysisDrawn) {
  TempDir dir;
  QImage scene(90, 70, QImage::Format_RGB32);
  scene.fill(Qt::white);
  uint32_t seed = 7;
  auto next = [&](uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  const QRgb colours[] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255)};
  for (int k = 0; k < 40; ++k) {  // bars and blocks of three colours, touching and apart
    const int x = static_cast<int>(next(84)), y = static_cast<int>(next(64));
    const int w = 1 + static_cast<int>(next(9)), h = 1 + static_cast<int>(next(5));
    const QRgb c = colours[next(3)];
    for (int v = y; v < std::min(70, y + h); ++v)
      for (int u = x; u < std::min(90, x + w); ++u) scene.setPixel(u, v, c);
  }
  ASSERT_TRUE(scene.save(Q(dir.File("many.bmp"))));
  WritePicture(dir.File("bar.bmp"), kBar);
  ASSERT_EQ(Cli({"base", Q(dir.File("bar.bmp")), "--turns", "3", "--level", "0", "-o",
                 Q(dir.File("list.txt"))})
                .Status,
            0);
  TCodeBase base;
  base.LoadBaseList(dir.File("list.txt"));
  for (const auto& [view, outline] : {std::pair{TView::Representation, false},
                                      {TView::Representation, true},
                                      {TView::Segmentation, false},
                                      {TView::Recognition, false}}) {
    const std::string out = dir.File(std::string(ViewName(view)) + (outline ? "-o" : "") + ".bmp");
    QStringList args = {"view", Q(dir.File("many.bmp")), "-v", ViewName(view), "--level", "3",
                        "-b", Q(dir.File("list.txt")), "-o", Q(out)};
    if (outline) args << "--outline";
    ASSERT_EQ(Cli(args).Status, 0) << ViewName(view);
    TAppState whole;
    whole.SceneImage = LoadScenePattern(Q(dir.File("many.bmp")), false, TBackground::White, 1);
    whole.SharedBase = &base;
    whole.MaxTreeLevel = whole.MaxViewLevel = 3;
    whole.FillEllipses = !outline;
    whole.BuildSceneCodes();
    whole.BuildSceneNearestIndices();
    ASSERT_GT(whole.Segments.Count(), 20);
    QImage expected(90, 70, QImage::Format_RGB32);
    {
      TQtCanvas canvas(expected);
      DrawView(view, whole, canvas);
    }
    EXPECT_EQ(QImage(Q(out)).convertToFormat(QImage::Format_RGB32), expected) << out;
  }
}

// The picture of `recognize --picture` labels the regions as its rows do: "unknown"
// where the choice of labels withholds the nearest shape.
TEST(Cli, RecognitionPictureWithholdsTheLabelsTheRowsWithhold) {
  TempDir dir;
  auto picture = [](int width, int height, const std::vector<QRect>& blocks) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (const QRect& r : blocks)
      for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) img.setPixel(x, y, qRgb(0, 0, 0));
    return img;
  };
  ASSERT_TRUE(picture(40, 40, {QRect(10, 10, 20, 20)}).save(Q(dir.File("square.bmp"))));
  ASSERT_EQ(Cli({"base", Q(dir.File("square.bmp")), "--turns", "4", "--level", "1", "-o",
                 Q(dir.File("list.txt"))})
                .Status,
            0);
  // A square, and a long bar that is no square.
  ASSERT_TRUE(picture(160, 80, {QRect(10, 10, 30, 30), QRect(60, 40, 90, 6)})
                  .save(Q(dir.File("scene.bmp"))));
  const CliRun run = Cli({"recognize", Q(dir.File("scene.bmp")), "-b", Q(dir.File("list.txt")),
                          "-f", "csv", "-p", Q(dir.File("labels.bmp"))});
  ASSERT_EQ(run.Status, 0) << run.Err;
  ASSERT_NE(run.Out.find(",unknown"), std::string::npos) << run.Out;  // the bars are withheld
  ASSERT_NE(run.Out.find(",square\n"), std::string::npos) << run.Out;
  TCodeBase base;
  base.LoadBaseList(dir.File("list.txt"));
  QImage withheld, everyLabel;
  for (const bool rule : {true, false}) {
    TAppState s;
    s.SceneImage = LoadScenePattern(Q(dir.File("scene.bmp")), false, TBackground::White, 1);
    RecognizeScene(s, base);
    if (rule) s.Labels = TLabelRule{};
    s.ShowSameness = true;
    QImage& drawn = rule ? withheld : everyLabel;
    drawn = QImage(160, 80, QImage::Format_RGB32);
    TQtCanvas canvas(drawn);
    DrawView(TView::Recognition, s, canvas);
  }
  ASSERT_NE(withheld, everyLabel);
  EXPECT_EQ(QImage(Q(dir.File("labels.bmp"))).convertToFormat(QImage::Format_RGB32), withheld);
}

// The program itself starts without the windowing platform unless it may draw: recognize
// must still draw its picture however --picture is written, and the same picture as a
// run with the platform; without it, the same rows.
TEST(Cli, TheProgramDrawsTheRecognitionPictureHoweverItIsAskedFor) {
  TempDir dir;
  const std::string scene = std::string(ORMAX_SOURCE_DIR) + "/examples/limits/limits.bmp";
  const std::string base = std::string(ORMAX_SOURCE_DIR) + "/examples/base/base.txt";
  const auto program = [&](QStringList args) {
    QProcess cli;
    cli.start(ORMAX_CLI, QStringList{"recognize", Q(scene), "-b", Q(base), "-f", "csv"} + args);
    EXPECT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    return cli.readAllStandardOutput().toStdString();
  };
  const CliRun inProcess =
      Cli({"recognize", Q(scene), "-b", Q(base), "-f", "csv", "-p", Q(dir.File("here.bmp"))});
  ASSERT_EQ(inProcess.Status, 0) << inProcess.Err;
  const QImage expected(Q(dir.File("here.bmp")));
  ASSERT_FALSE(expected.isNull());
  const QString out = Q(dir.File("out.bmp"));
  for (const QStringList& asked : {QStringList{"-p", out}, QStringList{"-p" + out},
                                   QStringList{"--picture", out}, QStringList{"--picture=" + out}}) {
    QFile::remove(out);
    EXPECT_EQ(program(asked), inProcess.Out) << asked.join(' ').toStdString();
    EXPECT_EQ(QImage(out), expected) << asked.join(' ').toStdString();
  }
  EXPECT_EQ(program({}), inProcess.Out);
}

// Every bounded whole-number option says what it takes and what it got; the level to
// view is -1 (the tree level) or a level, checked before the scene is even read.
TEST(Cli, RefusalsNameTheValueAndComeBeforeAnyWork) {
  const std::vector<std::pair<QStringList, std::string>> refusals = {
      {{"recognize", "x.bmp", "--base", "b.txt", "--top", "0"}, "--top takes a whole number from 1 to 100, not '0'"},
      {{"codes", "x.bmp", "--jobs", "none"}, "--jobs takes a whole number of at least 1, not 'none'"},
      {{"codes", "x.bmp", "--level", "31"}, "--level takes a whole number from 0 to 30, not '31'"},
      {{"base", "x.bmp", "-o", "l.txt", "--level", "many"}, "--level takes a whole number from 0 to 30, not 'many'"},
      {{"codes", "x.bmp", "--error", "inf"}, "--error takes a number, not 'inf'"},
      {{"codes", "x.bmp", "--min-pixels", "-1"}, "--min-pixels takes a whole number from 0 to"},
      {{"base", "x.bmp", "-o", "l.txt", "--turns", "361"}, "--turns takes a whole number from 1 to 360, not '361'"},
      {{"evaluate", "x.bmp", "--base", "b.txt", "--samples", "0"}, "--samples takes a whole number from 1 to 100000, not '0'"},
      {{"evaluate", "x.bmp", "--base", "b.txt", "--seed", "-3"}, "--seed takes a whole number of at least 0, not '-3'"},
      {{"view", "missing.bmp", "-v", "representation", "-o", "o.bmp", "--max-view-level", "-2"},
       "--max-view-level takes a whole number from -1 to 30, not '-2'"},
      {{"view", "missing.bmp", "-v", "representation", "-o", "o.bmp", "--max-view-level", "31"},
       "not '31'"}};
  for (const auto& [args, message] : refusals) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.Status, 2) << args.join(' ').toStdString();
    EXPECT_NE(run.Err.find(message), std::string::npos) << run.Err;
  }
  // -1 draws down to the tree level, as the default does.
  TempDir dir;
  WritePicture(dir.File("bar.bmp"), kBar);
  for (const char* level : {"-1", "2"}) {
    const std::string out = dir.File(std::string("bar") + level + ".bmp");
    ASSERT_EQ(Cli({"view", Q(dir.File("bar.bmp")), "-v", "representation", "--level", "2",
                   "--outline", "--max-view-level", level, "-o", Q(out)})
                  .Status,
              0);
  }
  ASSERT_EQ(Cli({"view", Q(dir.File("bar.bmp")), "-v", "representation", "--level", "2",
                 "--outline", "-o", Q(dir.File("default.bmp"))})
                .Status,
            0);
  EXPECT_EQ(QImage(Q(dir.File("bar-1.bmp"))), QImage(Q(dir.File("default.bmp"))));
  EXPECT_EQ(QImage(Q(dir.File("bar2.bmp"))), QImage(Q(dir.File("default.bmp"))));
}

// A file that cannot be used is named with the reason; a code file a base list names
// is named with the list.
TEST(Cli, FileErrorsNameTheFileAndTheReason) {
  TempDir dir;
  WritePicture(dir.File("bar.bmp"), kBar);
  std::ofstream(dir.File("base.txt")) << "gone\n";
  for (const char* command : {"recognize", "evaluate", "view"}) {
    QStringList args = {command, Q(dir.File("bar.bmp")), "--base", Q(dir.File("base.txt"))};
    if (std::string(command) == "view") args << "-v" << "recognition" << "-o" << Q(dir.File("v.bmp"));
    const CliRun run = Cli(args);
    EXPECT_EQ(run.Status, 1) << command;
    EXPECT_NE(run.Err.find(dir.File("base.txt") + ": Cannot open file " + dir.File("gone.c") +
                           " (No such file or directory)"),
              std::string::npos)
        << command << ": " << run.Err;
  }
  const CliRun unwritable = Cli({"view", Q(dir.File("bar.bmp")), "-v", "scene", "-o",
                                 Q(dir.File("no/such/folder/v.bmp"))});
  EXPECT_EQ(unwritable.Status, 1);
  EXPECT_NE(unwritable.Err.find("Cannot create file " + dir.File("no/such/folder/v.bmp") + " ("),
            std::string::npos)
      << unwritable.Err;
}

TEST(Cli, ShortestNumbersReadBackExactly) {
  for (double v : {0.1, 1.0 / 3, 98.15683729261985, 1e-300, 12.0})
    EXPECT_EQ(std::stod(ShortestDouble(v)), v);
  EXPECT_EQ(ShortestDouble(0.1), "0.1");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(JsonString("a\"b\n"), "\"a\\\"b\\u000a\"");
}

// ---- the sample data ----

const std::string kExamples = ORMAX_SOURCE_DIR "/examples";

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& line : Lines(text)) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

TEST(Samples, EveryRegionOfEverySceneGetsItsLabel) {
  const std::map<std::string, std::vector<std::string>> expected = {
      {"scene1.bmp", {"triangle", "arrow", "ell", "cross", "star", "ellipse"}},
      {"scene2.bmp", {"square", "rectangle", "circle", "ring", "triangle", "ell"}},
      {"scene3.bmp", {"arrow", "star", "ellipse", "rectangle", "cross", "triangle"}},
  };
  for (const auto& [scene, labels] : expected) {
    const CliRun run =
        Cli({"recognize", Q(kExamples + "/scenes/" + scene), "--base",
             Q(kExamples + "/base/base.txt"), "--format", "csv", "--min-sameness", "60"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto rows = CsvRows(run.Out);
    ASSERT_EQ(rows.size(), labels.size() + 1) << scene;
    const auto& header = rows[0];
    const size_t label =
        static_cast<size_t>(std::find(header.begin(), header.end(), "label") - header.begin());
    const size_t sameness =
        static_cast<size_t>(std::find(header.begin(), header.end(), "sameness") - header.begin());
    for (size_t r = 0; r < labels.size(); ++r)
      EXPECT_EQ(rows[r + 1][label], labels[r])
          << scene << " region " << r << ", sameness " << rows[r + 1][sameness] << " %";
  }
}

TEST(Samples, TheLimitsSceneShowsWhatTheMethodCannotDo) {
  const CliRun run = Cli({"recognize", Q(kExamples + "/limits/limits.bmp"), "--base",
                          Q(kExamples + "/base/base.txt"), "--format", "csv"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto rows = CsvRows(run.Out);
  ASSERT_EQ(rows.size(), 5u);  // two squares touching at a corner are one region
  const auto& header = rows[0];
  const size_t shape =
      static_cast<size_t>(std::find(header.begin(), header.end(), "shape") - header.begin());
  const size_t label =
      static_cast<size_t>(std::find(header.begin(), header.end(), "label") - header.begin());
  // A square turned by 45 degrees and a rectangle between two turns of a 12-turn base
  // were taken for a circle and an ellipse; the default base's turns and sizes hold them.
  EXPECT_EQ(rows[1][shape], "square");
  EXPECT_EQ(rows[2][shape], "rectangle");
  // Two squares touching at a corner are one region, like no shape of the base: below
  // the default --min-sameness.
  EXPECT_EQ(rows[4][label], "unknown");
}

TEST(Samples, JobsDoNotChangeTheOutput) {
  QStringList args = {"recognize", "--base", Q(kExamples + "/base/base.txt"), "--format", "json"};
  for (const char* s : {"scene1.bmp", "scene2.bmp", "scene3.bmp"})
    args << Q(kExamples + "/scenes/" + s);
  const CliRun one = Cli(args + QStringList{"--jobs", "1"});
  const CliRun three = Cli(args + QStringList{"--jobs", "3"});
  ASSERT_EQ(one.Status, 0);
  EXPECT_EQ(one.Out, three.Out);
  EXPECT_NE(one.Out.find("\"recognised\": 6"), std::string::npos);
}

TEST(Samples, TheToolReproducesTheCommittedFiles) {
  TempDir dir;
  const int status = std::system(
      (std::string(ORMAX_BINARY_DIR "/ormax_examples ") + dir.File("ex") + " >/dev/null 2>&1")
          .c_str());
  ASSERT_EQ(status, 0);
  size_t compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kExamples)) {
    if (!entry.is_regular_file()) continue;
    const auto relative = std::filesystem::relative(entry.path(), kExamples);
    // Notes and scripts are written by hand, not drawn by the tool.
    if (relative.extension() == ".md" || relative.extension() == ".py") continue;
    EXPECT_EQ(testing::ReadBytes(entry.path().string()),
              testing::ReadBytes(dir.File("ex/" + relative.string())))
        << relative;
    ++compared;
  }
  EXPECT_GT(compared, 100u);
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

size_t ColumnOf(const std::vector<std::string>& header, const std::string& name) {
  const auto it = std::find(header.begin(), header.end(), name);
  EXPECT_NE(it, header.end()) << name;
  return static_cast<size_t>(it - header.begin());
}

// evaluate's figures are recognize's on the very copies it made.
TEST(Samples, EvaluateCountsWhatRecognizeGivesOnTheSameCopies) {
  TempDir dir;
  QStringList args = {"evaluate", "--base", Q(kExamples + "/base/base.txt"), "--samples", "3",
                      "--seed", "5", "--copies", Q(dir.File("copies")), "--format", "csv",
                      "--plot", Q(dir.File("plot.png"))};
  for (const char* shape : {"arrow", "circle", "square", "star", "ring"})
    args << Q(kExamples + "/shapes/" + shape + ".bmp");
  const CliRun evaluate = Cli(args);
  ASSERT_EQ(evaluate.Status, 0) << evaluate.Err;
  const auto report = CsvRows(evaluate.Out);
  ASSERT_EQ(report.size(), 7u);  // header, five shapes, all
  ASSERT_EQ(report[6][0], "all");
  EXPECT_EQ(report[6][1], "15");
  EXPECT_FALSE(QImage(Q(dir.File("plot.png"))).isNull());

  QStringList recognize = {"recognize", "--base", Q(kExamples + "/base/base.txt"), "--format",
                           "csv", "--min-sameness", "0"};
  std::vector<std::string> copies;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("copies")))
    copies.push_back(entry.path().string());
  std::sort(copies.begin(), copies.end());
  ASSERT_EQ(copies.size(), 15u);
  for (const auto& c : copies) recognize << Q(c);
  const CliRun run = Cli(recognize);
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto rows = CsvRows(run.Out);
  const size_t scene = ColumnOf(rows[0], "scene"), pixels = ColumnOf(rows[0], "pixels"),
               shape = ColumnOf(rows[0], "shape");
  std::map<std::string, std::pair<long, std::string>> largest;  // per copy
  for (size_t r = 1; r < rows.size(); ++r) {
    auto& slot = largest[rows[r][scene]];
    if (std::stol(rows[r][pixels]) > slot.first) slot = {std::stol(rows[r][pixels]), rows[r][shape]};
  }
  std::map<std::string, int> right;  // per true shape, from the copy's name
  for (const auto& c : copies) {
    const std::string truth = std::filesystem::path(c).filename().string().substr(
        0, std::filesystem::path(c).filename().string().find('_'));
    right[truth] += largest[c].second == truth;
  }
  int total = 0;
  for (size_t r = 1; r <= 5; ++r) {
    EXPECT_EQ(report[r][1], "3") << report[r][0];
    EXPECT_EQ(report[r][2], std::to_string(right[report[r][0]])) << report[r][0];
    total += right[report[r][0]];
  }
  EXPECT_EQ(report[6][2], std::to_string(total));
}

TEST(Samples, EvaluateNamesThePicturesItCannotUse) {
  TempDir dir;
  {
    std::ofstream truth(dir.File("truth.csv"));
    truth << "picture,shape\n" << kExamples << "/shapes/star.bmp,star\n";
  }
  const CliRun run =
      Cli({"evaluate", "--base", Q(kExamples + "/base/base.txt"), "--truth", Q(dir.File("truth.csv")),
           "--samples", "2", Q(kExamples + "/shapes/star.bmp"), Q(kExamples + "/shapes/ring.bmp"),
           Q(dir.File("missing.bmp"))});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Out.find("2 copies of 3 pictures"), std::string::npos) << run.Out;
  EXPECT_NE(run.Err.find("ring.bmp: not in " + dir.File("truth.csv")), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find(dir.File("missing.bmp")), std::string::npos) << run.Err;
  const CliRun noBase = Cli({"evaluate", "--base", Q(dir.File("none.txt")), Q(kExamples + "/shapes/star.bmp")});
  EXPECT_EQ(noBase.Status, 1);
  EXPECT_NE(noBase.Err.find(dir.File("none.txt")), std::string::npos) << noBase.Err;
  EXPECT_EQ(Cli({"evaluate", "--base", "b.txt", "--samples", "0", "x.bmp"}).Status, 2);
}

// --top K: the runners-up are other shapes, each farther than the one before.
TEST(Samples, TopListsDistinctShapesInOrderOfDistance) {
  const QStringList args = {"recognize", Q(kExamples + "/scenes/scene2.bmp"), "--base",
                            Q(kExamples + "/base/base.txt"), "--format", "csv"};
  const auto plain = CsvRows(Cli(args).Out);
  EXPECT_EQ(std::find(plain[0].begin(), plain[0].end(), "top2_shape"), plain[0].end());
  const CliRun top = Cli(args + QStringList{"--top", "3"});
  ASSERT_EQ(top.Status, 0) << top.Err;
  const auto rows = CsvRows(top.Out);
  ASSERT_EQ(rows.size(), plain.size());
  const size_t shape = ColumnOf(rows[0], "shape"), sameness = ColumnOf(rows[0], "sameness"),
               shape2 = ColumnOf(rows[0], "top2_shape"), same2 = ColumnOf(rows[0], "top2_sameness"),
               shape3 = ColumnOf(rows[0], "top3_shape"), same3 = ColumnOf(rows[0], "top3_sameness");
  for (size_t r = 1; r < rows.size(); ++r) {
    // The first columns are those of the plain run.
    for (size_t c = 0; c < plain[r].size(); ++c) EXPECT_EQ(rows[r][c], plain[r][c]);
    EXPECT_NE(rows[r][shape2], rows[r][shape]);
    EXPECT_NE(rows[r][shape3], rows[r][shape]);
    EXPECT_NE(rows[r][shape3], rows[r][shape2]);
    EXPECT_GE(std::stod(rows[r][sameness]), std::stod(rows[r][same2]));
    EXPECT_GE(std::stod(rows[r][same2]), std::stod(rows[r][same3]));
  }
  const CliRun json = Cli({"recognize", Q(kExamples + "/scenes/scene2.bmp"), "--base",
                           Q(kExamples + "/base/base.txt"), "--format", "json", "--top", "2"});
  ASSERT_EQ(json.Status, 0);
  size_t tops = 0;
  for (size_t at = json.Out.find("\"top\": [{"); at != std::string::npos;
       at = json.Out.find("\"top\": [{", at + 1))
    ++tops;
  EXPECT_EQ(tops, rows.size() - 1);
  EXPECT_EQ(Cli(args + QStringList{"--top", "0"}).Status, 2);
}

// ---- pictures as people have them ----

// Shapes on grey paper, as a scan gives them: a black block and a red bar on a ground of
// 200 (scale: pixels per raster character).
QImage OnGreyPaper(int scale = 4) {
  const std::vector<std::string> rows = {"..........", ".kkk......", ".kkk..###.", ".kkk......",
                                         ".........."};
  QImage img(10 * scale, 5 * scale, QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const char c = rows[static_cast<size_t>(y / scale)][static_cast<size_t>(x / scale)];
      img.setPixel(x, y, c == '.' ? qRgb(200, 200, 200) : testing::PictureColour(c));
    }
  return img;
}

size_t DataRows(const std::string& csv) {
  return Lines(csv).size() - 1;
}

TEST(Cli, BackgroundAndSpeckOptionsAreCheckedOnEveryCommand) {
  TempDir dir;
  WritePicture(dir.File("bar.bmp"), kBar);
  const QString bar = Q(dir.File("bar.bmp")), list = Q(dir.File("base.txt"));
  const std::vector<QStringList> commands = {{"codes", bar, "-o", Q(dir.File("c"))},
                                             {"base", bar, "-o", list},
                                             {"recognize", bar, "--base", list},
                                             {"evaluate", bar, "--base", list},
                                             {"view", bar, "--view", "scene", "-o", Q(dir.File("v.bmp"))}};
  for (const QStringList& command : commands) {
    const CliRun grey = Cli(command + QStringList{"--background", "grey"});
    EXPECT_EQ(grey.Status, 2) << command[0].toStdString();
    EXPECT_NE(grey.Err.find("--background is white or auto, not 'grey'"), std::string::npos)
        << grey.Err;
    for (const char* bad : {"-1", "many", "2000000000"}) {
      const CliRun run = Cli(command + QStringList{"--min-pixels", bad});
      EXPECT_EQ(run.Status, 2) << command[0].toStdString() << " " << bad;
      EXPECT_NE(run.Err.find(std::string("--min-pixels takes a whole number from 0 to ") +
                             std::to_string(MaxMinPixels) + ", not '" + bad + "'"),
                std::string::npos)
          << run.Err;
    }
  }
}

TEST(Cli, AGreyGroundIsNamedOnStderrAndFoundByAuto) {
  TempDir dir;
  const std::string file = dir.File("scan.png");
  ASSERT_TRUE(OnGreyPaper().save(Q(file)));
  const CliRun white = Cli({"codes", Q(file), "-o", Q(dir.File("w")), "--format", "csv"});
  ASSERT_EQ(white.Status, 0) << white.Err;
  EXPECT_EQ(DataRows(white.Out), 1u);  // the paper is one region
  EXPECT_EQ(white.Err, "ormax-cli: warning: " + file +
                           ": one region covers 100 % of the picture and touches all four "
                           "edges; its background is not exact white: try --background auto\n");
  const CliRun found = Cli({"codes", Q(file), "-o", Q(dir.File("a")), "--format", "csv",
                            "--background", "auto", "--min-pixels", "0"});
  ASSERT_EQ(found.Status, 0) << found.Err;
  EXPECT_EQ(found.Err, "");
  EXPECT_EQ(DataRows(found.Out), 2u);
  // The view shows the scene as read: the paper white, the block black.
  ASSERT_EQ(Cli({"view", Q(file), "--view", "scene", "--background", "auto", "-o",
                 Q(dir.File("scene.bmp"))})
                .Status,
            0);
  const QImage scene(Q(dir.File("scene.bmp")));
  EXPECT_EQ(scene.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(scene.pixel(6, 6), qRgb(0, 0, 0));
}

TEST(Cli, AJpegOfShapesGivesItsShapesUnderAuto) {
  TempDir dir;
  const std::string file = dir.File("photo.jpg");
  QImage picture = OnGreyPaper(12);
  picture.fill(qRgb(255, 255, 255));
  {  // the same shapes on white, compressed hard
    const QImage grey = OnGreyPaper(12);
    for (int y = 0; y < grey.height(); ++y)
      for (int x = 0; x < grey.width(); ++x)
        if (grey.pixel(x, y) != qRgb(200, 200, 200)) picture.setPixel(x, y, grey.pixel(x, y));
  }
  ASSERT_TRUE(picture.save(Q(file), "jpg", 50));
  const CliRun white = Cli({"codes", Q(file), "-o", Q(dir.File("w")), "--format", "csv"});
  ASSERT_EQ(white.Status, 0);
  EXPECT_GT(DataRows(white.Out), 2u);  // compression specks
  const CliRun found =
      Cli({"codes", Q(file), "-o", Q(dir.File("a")), "--format", "csv", "--background", "auto"});
  ASSERT_EQ(found.Status, 0);
  EXPECT_EQ(DataRows(found.Out), 2u);
}

TEST(Cli, ABaseRemembersHowItsPicturesWereReadAndRecognizeAdoptsIt) {
  TempDir dir;
  ASSERT_TRUE(OnGreyPaper().copy(0, 0, 20, 20).save(Q(dir.File("block.png"))));
  ASSERT_TRUE(OnGreyPaper().save(Q(dir.File("scan.png"))));
  const QString list = Q(dir.File("base/base.txt"));
  ASSERT_EQ(Cli({"base", Q(dir.File("block.png")), "-o", list, "--turns", "1", "--level", "0",
                 "--background", "auto"})
                .Status,
            0);
  std::ifstream in(list.toStdString());
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "% made by ormax-cli base: maximum tree level 0, admissible error 0, "
                   "background auto, min pixels " + std::to_string(AutoMinPixels));
  // Recognize reads the scan as the base's pictures were read; told otherwise, it obeys.
  const CliRun adopted = Cli({"recognize", Q(dir.File("scan.png")), "--base", list, "--format", "csv"});
  ASSERT_EQ(adopted.Status, 0) << adopted.Err;
  EXPECT_EQ(DataRows(adopted.Out), 2u);
  EXPECT_EQ(adopted.Err.find("warning"), std::string::npos);
  const CliRun white = Cli({"recognize", Q(dir.File("scan.png")), "--base", list, "--format",
                            "csv", "--background", "white"});
  ASSERT_EQ(white.Status, 0);
  EXPECT_EQ(DataRows(white.Out), 1u);
  EXPECT_NE(white.Err.find("try --background auto"), std::string::npos);
  // evaluate reads its pictures the same way, and warns the same way.
  ASSERT_TRUE(OnGreyPaper().copy(0, 0, 20, 20).save(Q(dir.File("block_2.png"))));
  const CliRun checked = Cli({"evaluate", Q(dir.File("block_2.png")), "--base", list, "--samples", "2"});
  ASSERT_EQ(checked.Status, 0) << checked.Err;
  EXPECT_EQ(checked.Err.find("warning"), std::string::npos) << checked.Err;
  const CliRun unchecked = Cli({"evaluate", Q(dir.File("block_2.png")), "--base", list, "--samples",
                                "2", "--background", "white"});
  EXPECT_EQ(unchecked.Err.rfind("ormax-cli: warning: " + dir.File("block_2.png") + ": one region covers", 0), 0u)
      << unchecked.Err;
  // A white base's line stays as it always was.
  ASSERT_EQ(Cli({"base", Q(dir.File("block.png")), "-o", Q(dir.File("w/base.txt")), "--turns",
                 "1", "--level", "0", "--skip-bad"})
                .Status,
            0);
  std::ifstream plain(dir.File("w/base.txt"));
  std::getline(plain, first);
  EXPECT_EQ(first, "% made by ormax-cli base: maximum tree level 0, admissible error 0");
}

TEST(Samples, EverySampleGivesTheSameCodesUnderBothBackgrounds) {
  TempDir dir;
  QStringList pictures;
  for (const char* folder : {"/scenes", "/shapes"})
    for (const auto& entry : std::filesystem::directory_iterator(kExamples + folder))
      pictures << Q(entry.path().string());
  const CliRun white = Cli(QStringList{"codes", "-o", Q(dir.File("w")), "--level", "3"} + pictures);
  const CliRun found = Cli(QStringList{"codes", "-o", Q(dir.File("a")), "--level", "3",
                                       "--background", "auto"} +
                           pictures);
  ASSERT_EQ(white.Status, 0);
  ASSERT_EQ(found.Status, 0);
  EXPECT_EQ(white.Err, "");  // no sample looks as if its background were not white
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("w"))) {
    std::ifstream a(entry.path(), std::ios::binary), b(dir.File("a/" + entry.path().filename().string()), std::ios::binary);
    const std::string bytesA{std::istreambuf_iterator<char>(a), {}}, bytesB{std::istreambuf_iterator<char>(b), {}};
    EXPECT_EQ(bytesA, bytesB) << entry.path();
    ++files;
  }
  EXPECT_EQ(files, static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.File("a")), {})));
  EXPECT_GE(files, 28u);
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

// ---- collections: several drawings a shape, in folders ----


const std::vector<std::string> kSquare = {"......", ".####.", ".####.", ".####.", ".####.", "......"};
const std::vector<std::string> kEll = {".......", ".##....", ".##....", ".#####.", ".#####.", "......."};

TEST(Collections, PicturesOfOneNameNeverShareAnOutput) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("a"));
  std::filesystem::create_directories(dir.File("b"));
  WritePicture(dir.File("a/x.bmp"), kBar);
  WritePicture(dir.File("b/x.bmp"), kTwo);
  // codes: the folders tell the scenes apart, on two threads as on one.
  const CliRun codes = Cli({"codes", Q(dir.File("a/x.bmp")), Q(dir.File("b/x.bmp")), "--jobs", "2",
                            "-o", Q(dir.File("out")), "--format", "csv"});
  ASSERT_EQ(codes.Status, 0) << codes.Err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("out/a-x-0.c")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("out/b-x-0.c")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("out/b-x-1.c")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("out/x-0.c")));
  EXPECT_NE(codes.Out.find("out/a-x-0.c"), std::string::npos) << codes.Out;
  const CliRun twice = Cli({"codes", Q(dir.File("a/x.bmp")), Q(dir.File("a/../a/x.bmp")), "-o",
                            Q(dir.File("out"))});
  EXPECT_EQ(twice.Status, 2);
  EXPECT_NE(twice.Err.find("the same scene"), std::string::npos) << twice.Err;

  // base: two entries of their own, each its own picture's code.
  WritePicture(dir.File("b/x.bmp"), kSquare);
  ASSERT_EQ(
      PlainBase({Q(dir.File("a/x.bmp")), Q(dir.File("b/x.bmp"))}, "0", dir.File("b/base.txt")).Status,
      0);
  TCodeBase loaded;
  loaded.LoadBaseList(dir.File("b/base.txt"));
  ASSERT_EQ(NamesIn(loaded), (std::vector<std::string>{"x", "x_2"}));
  EXPECT_GT(CodeDistance(loaded.GetCode(0), loaded.GetCode(1)), 0.01);

  // A new base over a list: refused, the list left whole; --force replaces it.
  const std::string before = ReadText(dir.File("b/base.txt"));
  const CliRun over =
      Cli({"base", Q(dir.File("a/x.bmp")), "--turns", "1", "-o", Q(dir.File("b/base.txt"))});
  EXPECT_EQ(over.Status, 1);
  EXPECT_NE(over.Err.find("--force replaces it"), std::string::npos) << over.Err;
  EXPECT_EQ(ReadText(dir.File("b/base.txt")), before);
  const CliRun forced = Cli({"base", Q(dir.File("a/x.bmp")), "--turns", "1", "--level", "0",
                             "--force", "-o", Q(dir.File("b/base.txt"))});
  ASSERT_EQ(forced.Status, 0) << forced.Err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("b/x_2.c")));  // only the old list named it
}

TEST(Collections, AFolderOfFoldersNamesTheShapesAndABaseGrowsAndShrinks) {
  TempDir dir;
  for (const char* shape : {"bar", "ell", "square"}) std::filesystem::create_directories(dir.File(std::string("c/") + shape));
  WritePicture(dir.File("c/bar/1.bmp"), kBar);
  WritePicture(dir.File("c/bar/2.bmp"), {"............", ".##########.", ".##########.", "............"});
  WritePicture(dir.File("c/ell/1.bmp"), kEll);
  const CliRun made = Cli({"base", Q(dir.File("c")), "--turns", "2", "--scales", "1", "--level",
                           "0", "-o", Q(dir.File("base/list.txt"))});
  ASSERT_EQ(made.Status, 0) << made.Err;
  TCodeBase base;
  base.LoadBaseList(dir.File("base/list.txt"));
  EXPECT_EQ(NamesIn(base), (std::vector<std::string>{"bar_1@0", "bar_1@180", "bar_2@0",
                                                     "bar_2@180", "ell_1@0", "ell_1@180"}));

  // Added with the base's own level and copies (its list records them).
  WritePicture(dir.File("c/square/1.bmp"), kSquare);
  EXPECT_EQ(Cli({"base", "--add", Q(dir.File("base/list.txt")), "--level", "2",
                 Q(dir.File("c/square/1.bmp"))}).Status, 2);
  const CliRun added = Cli({"base", "--add", Q(dir.File("base/list.txt")), "--truth",
                            Q(dir.File("truth.csv")), Q(dir.File("c/square/1.bmp"))});
  EXPECT_EQ(added.Status, 1);  // no truth file: nothing added
  std::ofstream(dir.File("truth.csv")) << "1.bmp,square\n";
  const CliRun grown = Cli({"base", "--add", Q(dir.File("base/list.txt")), "--truth",
                            Q(dir.File("truth.csv")), Q(dir.File("c/square/1.bmp"))});
  ASSERT_EQ(grown.Status, 0) << grown.Err;
  TCodeBase more;
  ASSERT_EQ(more.LoadBaseList(dir.File("base/list.txt")), 8);
  EXPECT_EQ(more.Names(6), "square_1@0");
  EXPECT_EQ(more.MaxLevel, 0);

  // A picture that cannot make entries: refused, the base as it was.
  WritePicture(dir.File("two.bmp"), kTwo);
  const std::string before = ReadText(dir.File("base/list.txt"));
  EXPECT_EQ(Cli({"base", "--add", Q(dir.File("base/list.txt")), Q(dir.File("c/ell/1.bmp")),
                 Q(dir.File("two.bmp"))}).Status, 1);
  EXPECT_EQ(ReadText(dir.File("base/list.txt")), before);
  EXPECT_FALSE(std::filesystem::exists(dir.File("base/1@0.c")));
  TCodeBase same;
  EXPECT_EQ(same.LoadBaseList(dir.File("base/list.txt")), 8);

  const CliRun removed = Cli({"base", "--remove", Q(dir.File("base/list.txt")), "bar"});
  ASSERT_EQ(removed.Status, 0) << removed.Err;
  EXPECT_NE(removed.Out.find("4 entries removed"), std::string::npos) << removed.Out;
  TCodeBase fewer;
  EXPECT_EQ(fewer.LoadBaseList(dir.File("base/list.txt")), 4);
  EXPECT_FALSE(std::filesystem::exists(dir.File("base/bar_1@0.c")));
  EXPECT_EQ(Cli({"base", "--remove", Q(dir.File("base/list.txt")), "zebra"}).Status, 1);

  // recognize's shape column: the shape, not the drawing.
  const CliRun seen = Cli({"recognize", "--base", Q(dir.File("base/list.txt")), "--format", "csv",
                           Q(dir.File("c/ell/1.bmp"))});
  ASSERT_EQ(seen.Status, 0) << seen.Err;
  EXPECT_NE(seen.Out.find(",ell_1@0,ell,0,"), std::string::npos) << seen.Out;
}

TEST(Collections, LeaveOneOutRecognisesEachDrawingByTheOthers) {
  TempDir dir;
  // Three drawings of a bar and of an L, each drawn apart; and one lone square.
  WritePicture(dir.File("bar_1.bmp"), kBar);
  WritePicture(dir.File("bar_2.bmp"), {"............", ".##########.", ".##########.", "............"});
  WritePicture(dir.File("bar_3.bmp"), {"........", ".######.", ".######.", "........"});
  WritePicture(dir.File("ell_1.bmp"), kEll);
  WritePicture(dir.File("ell_2.bmp"), {".........", ".##......", ".##......", ".##......", ".#######.", ".#######.", "........."});
  WritePicture(dir.File("ell_3.bmp"), {"........", ".###....", ".###....", ".###....", ".######.", ".######.", ".######.", "........"});
  WritePicture(dir.File("square_1.bmp"), kSquare);
  const CliRun run = Cli({"evaluate", "--leave-one-out", Q(dir.File("")), "--turns", "4",
                          "--scales", "1", "--level", "1", "--format", "json"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("\"pictures\": 6, \"alone\": 1"), std::string::npos) << run.Out;
  EXPECT_EQ(run.Out.find("\"shapes\""), run.Out.rfind("\"shapes\""));  // one key, the list
  EXPECT_NE(run.Out.find("\"right\": 6"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("\"retrieval\": 100"), std::string::npos) << run.Out;

  const CliRun sweep = Cli({"evaluate", "--leave-one-out", "--sweep", Q(dir.File("")), "--turns",
                            "2", "--scales", "1"});
  ASSERT_EQ(sweep.Status, 0) << sweep.Err;
  EXPECT_NE(sweep.Out.find("suggested: --level "), std::string::npos) << sweep.Out;
  EXPECT_NE(sweep.Out.find("seconds"), std::string::npos) << sweep.Out;
  EXPECT_EQ(Cli({"evaluate", "--leave-one-out", "--base", "b.txt", "x.bmp"}).Status, 2);
  EXPECT_EQ(Cli({"evaluate", "--sweep", "--base", "b.txt", "x.bmp"}).Status, 2);
}

}  // namespace
}  // namespace ormax
