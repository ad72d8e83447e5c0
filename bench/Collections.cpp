// Collections: recognition as a user who owns a collection meets it: several drawings of
// every shape. The shapes are the capital letters, drawn in typefaces installed on the
// machine, each drawing turned, sized, sheared and stretched at random; a letter that
// is not one 8-connected region in every typeface is left out. Two questions:
//   (a) leave-one-out on the collection: `ormax-cli evaluate --leave-one-out` recognises
//       every picture against the base of all the others (with --sweep, then again at
//       the level and error it suggests);
//   (b) typefaces the base has not seen: `ormax-cli base` of the collection's folders,
//       `ormax-cli recognize` of drawings in two other typefaces.
// The OpenCV peer (bench/opencv_collection_peer.py, matchShapes on the largest outer
// contour) answers both on the same pictures; the report sets the two side by side.
// Every drawing is saved in two variants of the same geometry: crisp (anti-aliasing off,
// read on exact white) and anti-aliased (read with --background auto).
//   TArguments, Parse               the command line
//   Ink, Render                     a glyph's outline filled into a picture, its regions
//   TGlyphs, Screen                 the outlines per typeface and letter; the letters kept
//   TDrawing, DrawSet, SaveVariant  the deformed drawings and their files
//   LeaveOneOut, Unseen             the commands run and their answers read
//   RunPeer, Print...               the peer; the report
// Usage: ormax_collections --cli ORMAX-CLI --work DIR [--seed S] [--drawings N]
//        [--variants crisp,anti-aliased] [--python /usr/bin/python3]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSet>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/HeldOut.h"

namespace {

using namespace ormax;

// Two sans and two serif typefaces make the collection; a geometric sans and a
// schoolbook serif are the ones it has not seen.
const QStringList CollectionFamilies = {"DejaVu Sans", "DejaVu Serif", "Nimbus Sans",
                                        "Nimbus Roman"};
const QStringList UnseenFamilies = {"URW Gothic", "C059"};

// Dark pixels of a drawing, drawn log-uniformly between these.
constexpr double FewestPixels = 300, MostPixels = 6000;
constexpr double MaxStretch = 0.15;  // width to height changed by up to +-15 %
constexpr double MaxShear = 0.15;    // x moved by up to 0.15 y
constexpr int MaxRedraws = 50;

struct TArguments {
  QString Cli, Work, Python = "/usr/bin/python3";
  uint64_t Seed = 1;
  int Drawings = 2;
  QStringList Variants = {"crisp", "anti-aliased"};
};

const char* const Usage =
    "usage: ormax_collections --cli ORMAX-CLI --work DIR [--seed S] [--drawings N] "
    "[--variants crisp,anti-aliased] [--python /usr/bin/python3]";

TArguments Parse(const QStringList& args) {
  TArguments a;
  const QStringList rest = ParseOptionPairs(args, [&](const QString& k, const QString& v) {
    if (k == "--cli")
      a.Cli = v;
    else if (k == "--work")
      a.Work = v;
    else if (k == "--python")
      a.Python = v;
    else if (k == "--seed")
      a.Seed = v.toULongLong();
    else if (k == "--drawings")
      a.Drawings = v.toInt();
    else if (k == "--variants")
      a.Variants = v.split(',', Qt::SkipEmptyParts);
    else
      return false;
    return true;
  });
  const bool known = std::all_of(a.Variants.begin(), a.Variants.end(), [](const QString& v) {
    return v == "crisp" || v == "anti-aliased";
  });
  if (a.Cli.isEmpty() || a.Work.isEmpty() || a.Drawings < 2 || a.Variants.isEmpty() || !known ||
      !rest.isEmpty())
    Fail(Usage);
  return a;
}

// ---- pictures ---------------------------------------------------------------------------

struct TInk {
  long long Pixels = 0;  // darker than mid-grey
  int Regions = 0;       // 8-connected
};

TInk Ink(const QImage& picture) {
  const int w = picture.width(), h = picture.height();
  std::vector<uint8_t> dark(static_cast<size_t>(w) * h, 0);
  TInk ink;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (qGray(picture.pixel(x, y)) < 128) {
        dark[static_cast<size_t>(y) * w + x] = 1;
        ++ink.Pixels;
      }
  std::vector<size_t> stack;
  for (size_t start = 0; start < dark.size(); ++start) {
    if (dark[start] != 1) continue;
    ++ink.Regions;
    dark[start] = 2;
    stack.push_back(start);
    while (!stack.empty()) {
      const size_t at = stack.back();
      stack.pop_back();
      const int x = static_cast<int>(at % w), y = static_cast<int>(at / w);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const size_t next = static_cast<size_t>(ny) * w + nx;
          if (dark[next] == 1) {
            dark[next] = 2;
            stack.push_back(next);
          }
        }
    }
  }
  return ink;
}

// The outline under the transform, black on white, `margin` pixels of white around its
// bounds and shifted by (dx, dy), parts of a pixel.
QImage Render(const QPainterPath& glyph, const QTransform& transform, int margin, double dx,
              double dy, bool smooth) {
  const QPainterPath path = transform.map(glyph);
  const QRectF box = path.boundingRect();
  const int w = static_cast<int>(std::ceil(box.width())) + 2 * margin + 1;
  const int h = static_cast<int>(std::ceil(box.height())) + 2 * margin + 1;
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing, smooth);
  painter.setPen(Qt::NoPen);
  painter.translate(margin - box.left() + dx, margin - box.top() + dy);
  painter.fillPath(path, Qt::black);
  painter.end();
  return picture;
}

// ---- the letters ------------------------------------------------------------------------

struct TGlyph {
  QPainterPath Outline;  // centred on the origin
  double Pixels = 0;     // dark pixels of the outline drawn upright, as it is
};

using TGlyphs = std::map<std::pair<QString, char>, TGlyph>;  // (family, letter)

constexpr int OutlineSize = 200;  // pixels per em of the outlines

// A family as Qt names it, without the foundry it adds when two foundries give one
// ("Nimbus Sans [urw]").
QString WithoutFoundry(const QString& family) {
  return QString(family).remove(QRegularExpression(" \\[[^]]*\\]$"));
}

TGlyphs Outlines(const QStringList& families) {
  QStringList installed;
  for (const QString& f : QFontDatabase::families()) installed << WithoutFoundry(f);
  TGlyphs glyphs;
  for (const QString& family : families) {
    if (!installed.contains(family))
      Fail("the typeface " + family.toStdString() +
           " is not installed (fonts-dejavu-core, fonts-urw-base35)");
    QFont font(family);
    font.setPixelSize(OutlineSize);
    if (WithoutFoundry(QFontInfo(font).family()) != family)
      Fail("asked for " + family.toStdString() + ", got " + QFontInfo(font).family().toStdString());
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      QPainterPath path;
      path.addText(0, 0, font, QString(QChar(letter)));
      path.translate(-path.boundingRect().center());
      TGlyph& g = glyphs[{family, letter}];
      g.Outline = path;
      g.Pixels = static_cast<double>(Ink(Render(path, {}, 2, 0, 0, false)).Pixels);
      if (g.Pixels <= 0) Fail(family.toStdString() + " has no " + letter);
    }
  }
  return glyphs;
}

double ScaleFor(const TGlyph& g, double pixels) {
  return std::sqrt(pixels / g.Pixels);
}

// The letters that are one region, drawn crisp and upright, in every typeface, both at
// the outlines' size and at the fewest pixels drawn.
std::vector<char> Screen(const TGlyphs& glyphs, const QStringList& families, std::string* dropped) {
  std::vector<char> kept;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    bool whole = true;
    for (const QString& family : families) {
      const TGlyph& g = glyphs.at({family, letter});
      const double k = ScaleFor(g, FewestPixels);
      whole = whole && Ink(Render(g.Outline, {}, 2, 0, 0, false)).Regions == 1 &&
              Ink(Render(g.Outline, QTransform::fromScale(k, k), 2, 0, 0, false)).Regions == 1;
    }
    (whole ? kept.push_back(letter) : dropped->push_back(letter));
  }
  return kept;
}

// ---- the drawings -----------------------------------------------------------------------

struct TDrawing {
  char Letter = 'A';
  QString Family, Name;  // Name: FAMILY-SEQ, the family's spaces taken out
  int Seq = 0;
  QTransform Transform;
  int Margin = 0;
  double Dx = 0, Dy = 0;
  long long Pixels = 0;  // dark pixels, drawn crisp
};

// How a drawing differs from the letter as the typeface has it: stretched and sheared a
// little, turned to any angle, sized to a log-uniform number of dark pixels.
TDrawing Deform(const TGlyph& g, TDrawingRandom& random) {
  TDrawing d;
  const double stretch = std::sqrt(1 + random.Uniform(-MaxStretch, MaxStretch));
  const double shear = random.Uniform(-MaxShear, MaxShear);
  const double degrees = random.Uniform(0, 360);
  const double pixels = std::exp(random.Uniform(std::log(FewestPixels), std::log(MostPixels)));
  const double k = ScaleFor(g, pixels);  // the stretch and the shear keep the area
  // Qt's transforms act on row vectors: the left factor is applied first.
  d.Transform = QTransform(stretch, 0, 0, 1 / stretch, 0, 0) * QTransform(1, 0, shear, 1, 0, 0) *
                QTransform().rotate(degrees) * QTransform::fromScale(k, k);
  d.Margin = 3 + static_cast<int>(random.Index(18));
  d.Dx = random.Uniform(0, 1);
  d.Dy = random.Uniform(0, 1);
  return d;
}

struct TSet {
  std::vector<TDrawing> Drawings;
  int Redraws = 0;  // drawings that fell apart and were drawn again
};

// Drawings 1..count of every letter in every family, from a generator of the set's own;
// a drawing that is not one region, drawn crisp, is drawn again.
TSet DrawSet(const TGlyphs& glyphs, const QStringList& families, const std::vector<char>& letters,
             int count, uint64_t seed, uint32_t tag) {
  std::seed_seq sequence{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                         0x434f4c4cu, tag};
  TDrawingRandom random{std::mt19937_64(sequence)};
  TSet set;
  for (const QString& family : families)
    for (char letter : letters)
      for (int seq = 1; seq <= count; ++seq) {
        const TGlyph& g = glyphs.at({family, letter});
        for (int attempt = 0;; ++attempt) {
          if (attempt > MaxRedraws)
            Fail(family.toStdString() + " " + letter + " falls apart whatever it is drawn like");
          TDrawing d = Deform(g, random);
          const TInk ink = Ink(Render(g.Outline, d.Transform, d.Margin, d.Dx, d.Dy, false));
          if (ink.Regions != 1) {
            ++set.Redraws;
            continue;
          }
          d.Letter = letter;
          d.Family = family;
          d.Seq = seq;
          d.Name = QString(family).remove(' ') + "-" + QString::number(seq);
          d.Pixels = ink.Pixels;
          set.Drawings.push_back(d);
          break;
        }
      }
  return set;
}

// WORK/VARIANT/FOLDER/LETTER/NAME.bmp for every drawing; the files in the drawings' order.
QStringList SaveVariant(const TGlyphs& glyphs, const std::vector<TDrawing>& drawings,
                        const QString& dir, bool smooth) {
  QStringList files;
  for (const TDrawing& d : drawings) {
    const QString folder = dir + "/" + QChar(d.Letter);
    QDir().mkpath(folder);
    const QString file = folder + "/" + d.Name + ".bmp";
    const QImage picture =
        Render(glyphs.at({d.Family, d.Letter}).Outline, d.Transform, d.Margin, d.Dx, d.Dy, smooth);
    if (!picture.save(file, "BMP")) Fail("cannot write " + file.toStdString());
    files << file;
  }
  return files;
}

// ---- our side ---------------------------------------------------------------------------

// A command of ours run to its end. Exit code 1 with output is an answer too: the
// command has named on standard error, a line each ("ormax-cli: FILE: why"), the
// pictures it left out.
struct TCommand {
  QByteArray Out;
  QSet<QString> LeftOut;  // canonical paths
  QString FirstProblem;
  double Ms = 0;
};

TCommand RunCommand(const QString& program, const QStringList& args) {
  const TProcessRun run = RunProcess(program, args);
  TCommand c;
  c.Ms = run.Ms;
  c.Out = run.Out;
  const QString errors = QString::fromUtf8(run.Err);
  const bool answered =
      run.Normal && (run.Exit == 0 || (run.Exit == 1 && !c.Out.trimmed().isEmpty()));
  if (!answered)
    Fail(program.toStdString() + " " + args.join(' ').left(200).toStdString() + " failed:\n" +
         errors.toStdString());
  static const QRegularExpression named("^[^:]+: (.+?): ");
  for (const QString& line : errors.split('\n', Qt::SkipEmptyParts)) {
    const QRegularExpressionMatch m = named.match(line);
    if (!m.hasMatch() || !QFileInfo::exists(m.captured(1))) continue;
    c.LeftOut.insert(QFileInfo(m.captured(1)).canonicalFilePath());
    if (c.FirstProblem.isEmpty()) c.FirstProblem = line;
  }
  return c;
}

QJsonObject ParseJson(const QByteArray& text, const char* what) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
  if (!doc.isObject())
    Fail(std::string(what) + " wrote no JSON object: " + error.errorString().toStdString());
  return doc.object();
}

QJsonValue Need(const QJsonObject& o, const char* key) {
  const QJsonValue found = o.value(key);
  if (found.isUndefined()) Fail(std::string("evaluate's JSON has no \"") + key + "\"");
  return found;
}

struct TTreeSetting {
  int Level = 0;
  double Error = 0;
  bool operator==(const TTreeSetting&) const = default;
};

struct TSweepRow {
  int Level = 0;
  double Error = 0, Accuracy = 0, Retrieval = 0, Seconds = 0;
};

struct TLeaveOneOut {
  double Accuracy = 0, Retrieval = 0, Error = 0, Ms = 0;
  int Level = 0, Pictures = 0, Shapes = 0;
};

TLeaveOneOut ReadLeaveOneOut(const QJsonObject& o, double ms) {
  TLeaveOneOut r;
  r.Accuracy = Need(o, "accuracy").toDouble();
  r.Retrieval = Need(o, "retrieval").toDouble();
  r.Pictures = Need(o, "pictures").toInt();
  const QJsonValue shapes = Need(o, "shapes");
  r.Shapes = shapes.isArray() ? static_cast<int>(shapes.toArray().size()) : shapes.toInt();
  r.Level = Need(o, "level").toInt();
  r.Error = Need(o, "error").toDouble();
  r.Ms = ms;
  return r;
}

struct TOurLeaveOneOut {
  double SweepMs = 0;
  std::vector<TSweepRow> Sweep;
  TLeaveOneOut Suggested;  // evaluated again at the suggested setting
  QSet<QString> LeftOut;   // pictures the command did not count
  QString FirstProblem;
};

TOurLeaveOneOut LeaveOneOut(const TArguments& a, const QString& collection,
                            const QStringList& reading) {
  TOurLeaveOneOut r;
  const QStringList head = {"evaluate", "--leave-one-out", collection, "--format", "json"};
  const TCommand swept = RunCommand(a.Cli, head + QStringList{"--sweep"} + reading);
  const QJsonObject o = ParseJson(swept.Out, "evaluate --sweep");
  r.SweepMs = swept.Ms;
  for (const QJsonValue& v : Need(o, "sweep").toArray()) {
    const QJsonObject s = v.toObject();
    r.Sweep.push_back({Need(s, "level").toInt(), Need(s, "error").toDouble(),
                       Need(s, "accuracy").toDouble(), Need(s, "retrieval").toDouble(),
                       Need(s, "seconds").toDouble()});
  }
  const QJsonObject suggested = Need(o, "suggested").toObject();
  const QStringList at = {"--level", QString::number(Need(suggested, "level").toInt()), "--error",
                          QString::number(Need(suggested, "error").toDouble(), 'g', 17)};
  const TCommand again = RunCommand(a.Cli, head + at + reading);
  r.Suggested = ReadLeaveOneOut(ParseJson(again.Out, "evaluate --leave-one-out"), again.Ms);
  r.LeftOut = swept.LeftOut + again.LeftOut;
  r.FirstProblem = swept.FirstProblem;
  return r;
}

// The level and error evaluate and base use unless told, from evaluate's help.
TTreeSetting Defaults(const QByteArray& help) {
  const QString text = QString::fromUtf8(help);
  const QRegularExpressionMatch level =
      QRegularExpression("--level <L>\\s+Maximum tree level \\(default (\\d+)\\)").match(text);
  const QRegularExpressionMatch error =
      QRegularExpression("--error <E>\\s+Admissible error \\(default ([0-9.]+)\\)").match(text);
  if (!level.hasMatch() || !error.hasMatch())
    Fail("evaluate's help names no default --level and --error");
  return {level.captured(1).toInt(), error.captured(1).toDouble()};
}

struct TUnseen {
  int Level = 0;
  double Error = 0;
  bool Defaults = true;
  long long Pictures = 0, NearestRight = 0, Right = 0, Wrong = 0, WithheldRight = 0;
  qsizetype Skipped = 0;  // collection pictures the base left out
  double BaseMs = 0, RecognizeMs = 0;
};

// Per test picture its largest region's nearest shape and label, counted.
void Score(const QByteArray& csv, const QStringList& files, const std::vector<TDrawing>& drawings,
           TUnseen* r) {
  const QList<QByteArray> lines = csv.split('\n');
  const std::vector<std::string> header = SplitCsvLine(lines[0].trimmed().toStdString());
  const auto column = [&](const std::string& name) { return CsvColumn(header, name); };
  const size_t scene = column("scene"), pixels = column("pixels"), shape = column("shape"),
               label = column("label");
  struct TAnswer {
    long long Pixels = -1;
    std::string Shape = "none", Label = "unknown";
  };
  std::map<std::string, TAnswer> answers;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    if (lines[i].trimmed().isEmpty()) continue;
    const std::vector<std::string> f = SplitCsvLine(lines[i].trimmed().toStdString());
    if (f.size() < header.size()) Fail("a short CSV line: " + lines[i].toStdString());
    TAnswer& best = answers[f[scene]];
    const long long n = std::stoll(f[pixels]);
    if (n > best.Pixels) best = {n, f[shape], f[label]};
  }
  for (qsizetype i = 0; i < files.size(); ++i) {
    const TAnswer& answer = answers[files[i].toStdString()];
    const std::string truth(1, drawings[static_cast<size_t>(i)].Letter);
    ++r->Pictures;
    const bool nearest = answer.Shape == truth;
    r->NearestRight += nearest;
    if (answer.Label == "unknown")
      r->WithheldRight += nearest;
    else if (answer.Label == truth)
      ++r->Right;
    else
      ++r->Wrong;
  }
}

// A base of the collection's folders (at the base's defaults or at the setting given;
// pictures it cannot take skipped, as a user would after its refusal), and
// the drawings in the unseen typefaces recognised against it.
TUnseen Unseen(const TArguments& a, const QString& collection, const QString& work,
               const QStringList& files, const std::vector<TDrawing>& drawings,
               const QStringList& reading, const TTreeSetting& setting, bool defaults) {
  TUnseen r;
  r.Defaults = defaults;
  r.Level = setting.Level;
  r.Error = setting.Error;
  const QString dir = work + (defaults ? "/base" : "/base-suggested");
  QDir().mkpath(dir);
  QStringList args = {"base", collection, "-o", dir + "/base.txt", "--skip-bad"};
  if (!defaults)
    args << "--level" << QString::number(r.Level) << "--error" << QString::number(r.Error, 'g', 17);
  const TCommand base = RunCommand(a.Cli, args + reading);
  r.BaseMs = base.Ms;
  r.Skipped = base.LeftOut.size();
  double ms = 0;
  const QByteArray csv =
      Run(a.Cli,
          QStringList{"recognize", "--base", dir + "/base.txt", "--format", "csv", "--jobs", "2"} +
              reading + files,
          &ms);
  r.RecognizeMs = ms;
  QFile out(dir + "/recognize.csv");
  if (!out.open(QIODevice::WriteOnly) || out.write(csv) != csv.size())
    Fail("cannot write " + out.fileName().toStdString());
  Score(csv, files, drawings, &r);
  return r;
}

// ---- the peer ---------------------------------------------------------------------------

struct TPeerMethod {
  double Accuracy = 0, Retrieval = 0;                // leave-one-out, all the collection
  double CountedAccuracy = 0, CountedRetrieval = 0;  // among the pictures ormax counted
  double UnseenAccuracy = 0;
};

struct TPeer {
  std::map<std::string, TPeerMethod> Methods;  // I1, I2, I3
  int NoContour = 0;
  double Ms = 0;
};

// The peer on the collection (the pictures ormax left out marked) and the unseen drawings.
TPeer RunPeer(const TArguments& a, const QString& work, const QStringList& collection,
              const std::vector<TDrawing>& collectionDrawings, const QSet<QString>& leftOut,
              const QStringList& tests, const std::vector<TDrawing>& testDrawings) {
  QByteArray pictures = "shape,file,counted\n", unseen = "shape,file\n";
  for (qsizetype i = 0; i < collection.size(); ++i)
    pictures += QByteArray(1, collectionDrawings[static_cast<size_t>(i)].Letter) + "," +
                collection[i].toUtf8() + "," +
                (leftOut.contains(QFileInfo(collection[i]).canonicalFilePath()) ? "0" : "1") + "\n";
  for (qsizetype i = 0; i < tests.size(); ++i)
    unseen +=
        QByteArray(1, testDrawings[static_cast<size_t>(i)].Letter) + "," + tests[i].toUtf8() + "\n";
  QDir().mkpath(work + "/peer");
  for (const auto& [name, text] :
       {std::pair{QString("collection.csv"), pictures}, std::pair{QString("tests.csv"), unseen}}) {
    QFile out(work + "/peer/" + name);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size())
      Fail("cannot write " + out.fileName().toStdString());
  }
  const QString script = QFileInfo(QString(__FILE__)).absolutePath() + "/opencv_collection_peer.py";
  TPeer peer;
  const QJsonObject o = ParseJson(
      Run(a.Python, {script, work + "/peer/collection.csv", work + "/peer/tests.csv"}, &peer.Ms),
      "the peer");
  const QJsonObject methods = o.value("methods").toObject();
  for (const QString& m : {QString("I1"), QString("I2"), QString("I3")}) {
    const QJsonObject r = methods.value(m).toObject();
    for (const char* key :
         {"accuracy", "retrieval", "counted_accuracy", "counted_retrieval", "unseen_accuracy"})
      if (!r.value(key).isDouble())
        Fail("the peer gave no " + std::string(key) + " for " + m.toStdString());
    peer.Methods[m.toStdString()] = {
        r.value("accuracy").toDouble(), r.value("retrieval").toDouble(),
        r.value("counted_accuracy").toDouble(), r.value("counted_retrieval").toDouble(),
        r.value("unseen_accuracy").toDouble()};
  }
  peer.NoContour = o.value("no_contour").toInt();
  return peer;
}

// ---- the report -------------------------------------------------------------------------

double Percent(long long n, long long of) {
  return of ? 100.0 * n / of : 0;
}

std::string Settings(int level, double error) {
  return "level " + std::to_string(level) + ", error " +
         QString::number(error, 'g', 6).toStdString();
}

constexpr const char* Row = "  %-44s %-34s";

void PrintHeader() {
  std::printf(Row, "", "");
  std::printf(" %8s   %6s %6s %6s   %7s  %s\n", "ormax", "I1", "I2", "I3", "vs I1",
              "vs the best of the three");
}

// A row: ours, the peer's three measures, ours less I1 and less the best of them.
void PrintComparison(const std::string& what, const std::string& settings, double ours,
                     const TPeer& peer, double TPeerMethod::*figure) {
  double best = -1;
  std::string bestName;
  for (const auto& [name, m] : peer.Methods)
    if (m.*figure > best) best = m.*figure, bestName = name;
  const double i1 = peer.Methods.at("I1").*figure;
  std::printf(Row, what.c_str(), settings.c_str());
  std::printf(" %6.1f %%   %6.1f %6.1f %6.1f   %+7.1f  %+7.1f (%s)\n", ours, i1,
              peer.Methods.at("I2").*figure, peer.Methods.at("I3").*figure, ours - i1, ours - best,
              bestName.c_str());
}

void PrintPeerOnly(const std::string& what, const TPeer& peer, double TPeerMethod::*figure) {
  std::printf(Row, what.c_str(), "");
  std::printf(" %8s   %6.1f %6.1f %6.1f\n", "-", peer.Methods.at("I1").*figure,
              peer.Methods.at("I2").*figure, peer.Methods.at("I3").*figure);
}

struct TVariantResult {
  QString Variant;
  bool Ours = false;
  TTreeSetting Defaults;
  TOurLeaveOneOut LeaveOneOut;
  std::vector<TUnseen> Unseen;  // at the defaults, and at the suggested setting if other
  TPeer Peer;
};

TTreeSetting Suggested(const TOurLeaveOneOut& l) {
  return {l.Suggested.Level, l.Suggested.Error};
}

void PrintLeaveOneOut(const TVariantResult& v, size_t pictures) {
  const TOurLeaveOneOut& l = v.LeaveOneOut;
  const auto counted = static_cast<size_t>(l.Suggested.Pictures);
  std::printf(
      "\n(a) leave-one-out on the collection, %zu pictures; OpenCV: matchShapes of the "
      "largest outer contour\n",
      pictures);
  if (!v.Ours) {
    PrintHeader();
    PrintPeerOnly("accuracy", v.Peer, &TPeerMethod::Accuracy);
    PrintPeerOnly("retrieval", v.Peer, &TPeerMethod::Retrieval);
    return;
  }
  std::printf("evaluate --sweep: %.1f s; suggested: %s\n", l.SweepMs / 1000,
              Settings(l.Suggested.Level, l.Suggested.Error).c_str());
  std::printf("  %5s %8s %10s %11s %9s\n", "level", "error", "accuracy", "retrieval", "seconds");
  for (const TSweepRow& s : l.Sweep)
    std::printf("  %5d %8g %8.1f %% %9.1f %% %9.1f\n", s.Level, s.Error, s.Accuracy, s.Retrieval,
                s.Seconds);
  if (!l.LeftOut.isEmpty())
    std::printf("ormax left out %lld of the %zu pictures, e.g.\n  %s\n",
                static_cast<long long>(l.LeftOut.size()), pictures,
                l.FirstProblem.toStdString().c_str());
  std::printf("\n");
  PrintHeader();
  const std::string among = "the " + std::to_string(counted) + " pictures ormax counted";
  std::vector<TSweepRow> rows;  // at the defaults (from the sweep), at the suggested setting
  for (const TSweepRow& s : l.Sweep)
    if (TTreeSetting{s.Level, s.Error} == v.Defaults && !(v.Defaults == Suggested(l)))
      rows.push_back(s);
  rows.push_back({l.Suggested.Level, l.Suggested.Error, l.Suggested.Accuracy, l.Suggested.Retrieval,
                  l.Suggested.Ms / 1000});
  for (const TSweepRow& r : rows) {
    const std::string s = "(" + Settings(r.Level, r.Error) +
                          (TTreeSetting{r.Level, r.Error} == v.Defaults ? ", the defaults)" : ")");
    PrintComparison("accuracy, " + among, s, r.Accuracy, v.Peer, &TPeerMethod::CountedAccuracy);
    PrintComparison("retrieval, " + among, s, r.Retrieval, v.Peer, &TPeerMethod::CountedRetrieval);
    if (counted != pictures)
      PrintComparison("accuracy, all " + std::to_string(pictures) + " (left out = wrong)", s,
                      r.Accuracy * static_cast<double>(counted) / static_cast<double>(pictures),
                      v.Peer, &TPeerMethod::Accuracy);
  }
  std::printf("  %s: evaluate at the suggested setting %.1f s\n", "time", l.Suggested.Ms / 1000);
}

void PrintUnseen(const TVariantResult& v, size_t pictures) {
  std::printf("\n(b) typefaces not in the base, %zu pictures; the base: the collection\n",
              pictures);
  PrintHeader();
  if (!v.Ours) PrintPeerOnly("nearest shape right", v.Peer, &TPeerMethod::UnseenAccuracy);
  for (const TUnseen& u : v.Unseen) {
    const std::string s = "(" + Settings(u.Level, u.Error) + (u.Defaults ? ", the defaults)" : ")");
    PrintComparison("nearest shape right", s, Percent(u.NearestRight, u.Pictures), v.Peer,
                    &TPeerMethod::UnseenAccuracy);
    std::printf(Row, "labelled right", s.c_str());
    std::printf(" %6.1f %%   %lld wrong labels; %.1f %% of the right nearest shapes withheld\n",
                Percent(u.Right, u.Pictures), u.Wrong, Percent(u.WithheldRight, u.NearestRight));
    std::printf("  time: base %.1f s (%lld pictures skipped), recognize %.1f s (--jobs 2)\n",
                u.BaseMs / 1000, static_cast<long long>(u.Skipped), u.RecognizeMs / 1000);
  }
}

}  // namespace

int main(int argc, char** argv) {
  TBenchApplication app(argc, argv);
  const TArguments a = Parse(app.arguments());
  QDir(a.Work).removeRecursively();
  QElapsedTimer timer;
  timer.start();

  const QStringList families = CollectionFamilies + UnseenFamilies;
  const TGlyphs glyphs = Outlines(families);
  std::string dropped;
  const std::vector<char> letters = Screen(glyphs, families, &dropped);
  if (letters.size() < 2) Fail("fewer than two letters are one region in every typeface");
  const TSet collection = DrawSet(glyphs, CollectionFamilies, letters, a.Drawings, a.Seed, 1);
  const TSet unseen = DrawSet(glyphs, UnseenFamilies, letters, a.Drawings, a.Seed, 2);

  const QByteArray help = Run(a.Cli, {"evaluate", "--help"});
  const bool ours = help.contains("--leave-one-out");
  std::vector<TVariantResult> results;
  for (const QString& variant : a.Variants) {
    const bool smooth = variant == "anti-aliased";
    const QString work = a.Work + "/" + variant;
    const QString collectionDir = work + "/collection";
    const QStringList collectionFiles =
        SaveVariant(glyphs, collection.Drawings, collectionDir, smooth);
    const QStringList testFiles = SaveVariant(glyphs, unseen.Drawings, work + "/unseen", smooth);
    const QStringList reading = {"--background", smooth ? "auto" : "white"};
    TVariantResult r;
    r.Variant = variant;
    r.Ours = ours;
    if (ours) {
      r.Defaults = Defaults(help);
      r.LeaveOneOut = LeaveOneOut(a, collectionDir, reading);
      r.Unseen.push_back(
          Unseen(a, collectionDir, work, testFiles, unseen.Drawings, reading, r.Defaults, true));
      if (!(Suggested(r.LeaveOneOut) == r.Defaults))
        r.Unseen.push_back(Unseen(a, collectionDir, work, testFiles, unseen.Drawings, reading,
                                  Suggested(r.LeaveOneOut), false));
    }
    r.Peer = RunPeer(a, work, collectionFiles, collection.Drawings, r.LeaveOneOut.LeftOut,
                     testFiles, unseen.Drawings);
    results.push_back(r);
  }

  std::printf("== collections: several drawings of every shape ==\n");
  std::printf(
      "shapes: the capital letters that are one 8-connected region in every typeface: "
      "%zu (%s)%s%s\n",
      letters.size(), std::string(letters.begin(), letters.end()).c_str(),
      dropped.empty() ? "" : "; left out: ", dropped.c_str());
  std::printf("collection: %zu letters x %lld typefaces (%s) x %d drawings = %zu pictures\n",
              letters.size(), static_cast<long long>(CollectionFamilies.size()),
              CollectionFamilies.join(", ").toStdString().c_str(), a.Drawings,
              collection.Drawings.size());
  std::printf("unseen typefaces: %zu letters x %lld typefaces (%s) x %d drawings = %zu pictures\n",
              letters.size(), static_cast<long long>(UnseenFamilies.size()),
              UnseenFamilies.join(", ").toStdString().c_str(), a.Drawings, unseen.Drawings.size());
  std::printf(
      "every drawing: turned 0-360 degrees, %.0f-%.0f dark pixels (log-uniform), width "
      "to height +-%.0f %%, shear +-%.2f, 3-20 pixels of white around, seed %llu; %d "
      "fell apart and were drawn again\n",
      FewestPixels, MostPixels, 100 * MaxStretch, MaxShear, static_cast<unsigned long long>(a.Seed),
      collection.Redraws + unseen.Redraws);
  std::vector<long long> drawn;
  for (const TSet* set : {&collection, &unseen})
    for (const TDrawing& d : set->Drawings) drawn.push_back(d.Pixels);
  std::sort(drawn.begin(), drawn.end());
  std::printf("dark pixels of the drawings, crisp: least %lld, median %lld, most %lld\n",
              drawn.front(), drawn[drawn.size() / 2], drawn.back());
  std::printf(
      "accuracy: the nearest other picture's shape right; retrieval: of the N drawings "
      "of a picture's shape, the share of the other N - 1 among its 2N nearest other "
      "pictures, averaged over the pictures\n");
  if (!ours)
    std::printf("ormax: not measured: %s evaluate has no --leave-one-out\n",
                a.Cli.toStdString().c_str());
  for (const TVariantResult& r : results) {
    std::printf("\n-- %s: %s --\n", r.Variant.toStdString().c_str(),
                r.Variant == "crisp" ? "anti-aliasing off, read on exact white"
                                     : "anti-aliasing on, read with --background auto");
    PrintLeaveOneOut(r, collection.Drawings.size());
    PrintUnseen(r, unseen.Drawings.size());
    std::printf("\nOpenCV peer: %.1f s (the whole process, one thread)", r.Peer.Ms / 1000);
    if (r.Peer.NoContour) std::printf("; %d pictures without a contour", r.Peer.NoContour);
    std::printf("\n");
  }
  std::printf("\npictures: %s/VARIANT/{collection,unseen}/LETTER/TYPEFACE-N.bmp\n",
              a.Work.toStdString().c_str());
  std::printf("the whole benchmark: %.1f s\nreproduce: %s\n",
              static_cast<double>(timer.elapsed()) / 1000,
              Quoted(QCoreApplication::arguments()).toStdString().c_str());
  return 0;
}
