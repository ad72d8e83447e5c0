// Conditions: recognition of shapes in pictures as people have them: anti-aliased,
// JPEG-compressed, on tinted or coloured paper, with sensor noise, under uneven light,
// light on dark, with salt and pepper, out of focus, in faint ink. Builds the base from
// the crisp sample pictures, draws held-out pictures of one shape and of four (a 2 x 2
// grid, a shape per cell) under each condition, recognises them with `ormax-cli
// recognize` once per --variants entry (its --background option; "none" gives none),
// runs the OpenCV peer (bench/opencv_conditions_peer.py) on the same pictures and
// prints a row per condition; every answer goes to WORK/conditions.csv, recognize's
// output to WORK/recognize-VARIANT.csv.
//   TArguments, Parse              the command line
//   TCanvas, DrawSmooth, Blur ...  anti-aliased drawing on a picture of real numbers
//   Ground, Ink, Finish ...        what each condition does to the picture
//   DrawCondition                  the pictures of one condition, with their truth
//   Score, TTally                  the answer of each cell, counted per condition
//   RunPeer, PrintTable            the peer; the report
// Usage: ormax_conditions --cli ORMAX-CLI --shapes DIR --work DIR [--seed S] [--count N]
//        [--variants white,auto] [--python /usr/bin/python3] [-- RECOGNIZE OPTIONS...]
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "app/RecognitionRows.h"
#include "bench/HeldOut.h"
#include "tools/SampleShapes.h"

namespace {

using namespace ormax;

using TRgb = std::array<double, 3>;  // 0 .. 255 a channel

struct TArguments : TShapeOptions {
  TArguments() { Count = 60; }
  QString Python = "/usr/bin/python3";
  QStringList Variants = {"white", "auto"};
  QStringList RecognizeOptions;
};

const char* const Usage =
    "usage: ormax_conditions --cli ORMAX-CLI --shapes DIR --work DIR [--seed S] [--count N] "
    "[--variants white,auto] [--python /usr/bin/python3] [-- RECOGNIZE OPTIONS...]";

TArguments Parse(const QStringList& args) {
  TArguments a;
  a.RecognizeOptions = ParseOptionPairs(args, [&](const QString& k, const QString& v) {
    if (a.Take(k, v)) return true;
    if (k == "--python") a.Python = v;
    else if (k == "--variants") a.Variants = v.split(',', Qt::SkipEmptyParts);
    else return false;
    return true;
  });
  if (a.Cli.isEmpty() || a.Shapes.isEmpty() || a.Work.isEmpty() || a.Count < 2 ||
      a.Variants.isEmpty())
    Fail(Usage);
  return a;
}

// ---- drawing ----------------------------------------------------------------------------

struct TCanvas {
  int Width = 0, Height = 0;
  std::vector<TRgb> Pixels;
  TCanvas(int w, int h, const TRgb& ground)
      : Width(w), Height(h), Pixels(static_cast<size_t>(w) * h, ground) {}
  TRgb& At(int x, int y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

// Each pixel covered by the shape in the share of its 4 x 4 samples that are inside,
// the ink laid over what is there in that share. Pixel (x, y) spans x +- 0.5, y +- 0.5.
void DrawSmooth(TCanvas& canvas, const TPlacement& p, const TRgb& ink) {
  constexpr int n = 4;
  const TInside& test = SampleShape(p.Shape).Test;
  const double a = p.Degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
  const double reach = 1.3 * p.Radius + 1;  // the letters' stems reach 1.25
  const int x0 = std::max(0, static_cast<int>(std::floor(p.X - reach)));
  const int x1 = std::min(canvas.Width - 1, static_cast<int>(std::ceil(p.X + reach)));
  const int y0 = std::max(0, static_cast<int>(std::floor(p.Y - reach)));
  const int y1 = std::min(canvas.Height - 1, static_cast<int>(std::ceil(p.Y + reach)));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      int inside = 0;
      for (int sy = 0; sy < n; ++sy)
        for (int sx = 0; sx < n; ++sx) {
          const double dx = (x - 0.5 + (sx + 0.5) / n - p.X) / p.Radius;
          const double dy = (y - 0.5 + (sy + 0.5) / n - p.Y) / p.Radius;
          inside += test(c * dx + s * dy, -s * dx + c * dy);
        }
      if (inside == 0) continue;
      const double cover = static_cast<double>(inside) / (n * n);
      TRgb& pixel = canvas.At(x, y);
      for (size_t k = 0; k < 3; ++k) pixel[k] = pixel[k] * (1 - cover) + ink[k] * cover;
    }
}

// One pass of a Gaussian blur along x (the picture read as columns when transposed).
std::vector<TRgb> BlurRows(const std::vector<TRgb>& in, int w, int h, double sigma,
                           bool transposed) {
  const int r = static_cast<int>(std::ceil(3 * sigma));
  std::vector<double> kernel(static_cast<size_t>(2 * r + 1));
  double sum = 0;
  for (int i = -r; i <= r; ++i) sum += kernel[static_cast<size_t>(i + r)] =
                                      std::exp(-i * i / (2 * sigma * sigma));
  for (double& k : kernel) k /= sum;
  const int lines = transposed ? w : h, length = transposed ? h : w;
  const auto index = [&](int line, int at) {
    return transposed ? static_cast<size_t>(at) * w + line : static_cast<size_t>(line) * w + at;
  };
  std::vector<TRgb> out(in.size());
  for (int line = 0; line < lines; ++line)
    for (int at = 0; at < length; ++at) {
      TRgb v{0, 0, 0};
      for (int i = -r; i <= r; ++i) {
        const TRgb& q = in[index(line, std::clamp(at + i, 0, length - 1))];
        for (size_t k = 0; k < 3; ++k) v[k] += kernel[static_cast<size_t>(i + r)] * q[k];
      }
      out[index(line, at)] = v;
    }
  return out;
}

void Blur(TCanvas& canvas, double sigma) {
  canvas.Pixels = BlurRows(canvas.Pixels, canvas.Width, canvas.Height, sigma, false);
  canvas.Pixels = BlurRows(canvas.Pixels, canvas.Width, canvas.Height, sigma, true);
}

void AddNoise(TCanvas& canvas, double sigma, TDrawingRandom& random) {
  for (TRgb& pixel : canvas.Pixels)
    for (double& v : pixel) v += sigma * random.Normal();
}

// A linear fall of light across the picture in a random direction times a vignette,
// scaled to 1 at the brightest and `darkest` at the darkest.
void UnevenLight(TCanvas& canvas, double darkest, TDrawingRandom& random) {
  const double a = random.Uniform(0, 2 * std::numbers::pi), ux = std::cos(a), uy = std::sin(a);
  const double slope = random.Uniform(0.3, 1), vignette = random.Uniform(0.3, 1);
  const double cx = canvas.Width / 2.0, cy = canvas.Height / 2.0;
  const double half = std::hypot(cx, cy);
  std::vector<double> field(canvas.Pixels.size());
  for (int y = 0; y < canvas.Height; ++y)
    for (int x = 0; x < canvas.Width; ++x) {
      const double dx = (x - cx) / half, dy = (y - cy) / half;
      field[static_cast<size_t>(y) * canvas.Width + x] =
          (1 - slope * (dx * ux + dy * uy + 1) / 2) * (1 - vignette * (dx * dx + dy * dy));
    }
  const auto [lo, hi] = std::minmax_element(field.begin(), field.end());
  const double low = *lo, range = std::max(*hi - low, 1e-9);
  for (size_t i = 0; i < field.size(); ++i)
    for (double& v : canvas.Pixels[i]) v *= darkest + (1 - darkest) * (field[i] - low) / range;
}

QImage ToImage(const TCanvas& canvas) {
  QImage picture(canvas.Width, canvas.Height, QImage::Format_RGB32);
  const auto byte = [](double v) { return static_cast<int>(std::clamp(std::lround(v), 0L, 255L)); };
  for (int y = 0; y < canvas.Height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < canvas.Width; ++x) {
      const TRgb& p = canvas.Pixels[static_cast<size_t>(y) * canvas.Width + x];
      line[x] = qRgb(byte(p[0]), byte(p[1]), byte(p[2]));
    }
  }
  return picture;
}

void SaltAndPepper(QImage& picture, double share, TDrawingRandom& random) {
  const auto pixels = static_cast<size_t>(picture.width()) * picture.height();
  const auto count = static_cast<size_t>(std::lround(share * static_cast<double>(pixels)));
  for (size_t i = 0; i < count; ++i) {
    const size_t at = random.Index(pixels);
    const int x = static_cast<int>(at % picture.width()), y = static_cast<int>(at / picture.width());
    picture.setPixel(x, y, random.Index(2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  }
}

// ---- the conditions ---------------------------------------------------------------------

enum ECondition {
  AntiAliased, Jpeg, TintedNoise, Uneven, DarkGround, Card, SaltPepper, Defocus, FaintInk,
  ConditionCount
};
const char* const ConditionNames[] = {"anti-aliased", "jpeg",        "tinted+noise",
                                      "uneven light", "dark ground", "coloured card",
                                      "salt+pepper",  "defocus",     "faint ink"};
const char* const ConditionFolders[] = {"anti-aliased", "jpeg",        "tinted-noise",
                                        "uneven-light", "dark-ground", "coloured-card",
                                        "salt-pepper",  "defocus",     "faint-ink"};

// Inks as people write and print with: black, blue, red, green, purple, brown, grey.
const TRgb Inks[] = {{0, 0, 0},    {20, 40, 160}, {190, 20, 20}, {10, 110, 40},
                     {90, 40, 130}, {110, 70, 30}, {80, 80, 80}, {0, 100, 120}};
// Card colours: yellow, light blue, pink, green, orange.
const TRgb Cards[] = {{250, 225, 80}, {150, 200, 245}, {245, 165, 200}, {140, 215, 130},
                      {250, 170, 70}};

TRgb Jitter(TRgb c, double by, TDrawingRandom& random) {
  for (double& v : c) v = std::clamp(v + random.Uniform(-by, by), 0.0, 255.0);
  return c;
}

TRgb Ground(ECondition condition, TDrawingRandom& random) {
  switch (condition) {
    case TintedNoise:
      if (random.Index(2))  // warm
        return {random.Uniform(235, 250), random.Uniform(222, 240), random.Uniform(200, 225)};
      return {random.Uniform(200, 225), random.Uniform(218, 238), random.Uniform(235, 250)};
    case DarkGround: {
      const double grey = random.Uniform(6, 56);  // 0 .. 70 a channel once jittered
      return Jitter({grey, grey, grey + random.Uniform(0, 8)}, 6, random);
    }
    case Card: return Jitter(Cards[random.Index(std::size(Cards))], 8, random);
    default: return {255, 255, 255};
  }
}

TRgb Ink(ECondition condition, TDrawingRandom& random) {
  const TRgb ink = Inks[random.Index(std::size(Inks))];
  switch (condition) {
    case DarkGround:
      return {random.Uniform(190, 255), random.Uniform(190, 255), random.Uniform(190, 255)};
    case FaintInk: {
      const double share = random.Uniform(0.25, 0.45);  // of full contrast against white
      TRgb faint;
      for (size_t k = 0; k < 3; ++k) faint[k] = 255 - share * (255 - ink[k]);
      return faint;
    }
    default: return Jitter(ink, 10, random);
  }
}

// What the camera, the light and the file do once the ink is down.
void Finish(ECondition condition, TCanvas& canvas, TDrawingRandom& random) {
  switch (condition) {
    case TintedNoise: AddNoise(canvas, random.Uniform(3, 10), random); break;
    case Uneven: UnevenLight(canvas, random.Uniform(0.55, 0.8), random); break;
    case Defocus: Blur(canvas, random.Uniform(1, 3)); break;
    case FaintInk: AddNoise(canvas, random.Uniform(1, 2), random); break;
    default: break;
  }
}

// ---- the held-out pictures --------------------------------------------------------------

struct TScene {
  ECondition Condition;
  QString File;
  int Cell = 0, PerRow = 1;           // cell side in pixels; cells per row and column
  std::vector<std::string> Truth;     // per cell, row by row
};

// Shapes first..first+cells-1 (modulo the kinds) at random angles, sizes and sub-pixel
// positions, one per cell, each well inside its cell.
std::vector<TPlacement> Layout(size_t first, int perRow, int* cell, TDrawingRandom& random) {
  const std::vector<std::string> shapes = AllShapes();
  std::vector<TPlacement> placed;
  double largest = 0;
  for (int k = 0; k < perRow * perRow; ++k) {
    TPlacement p{};
    p.Shape = shapes[(first + static_cast<size_t>(k)) % shapes.size()];
    p.Degrees = random.Uniform(0, 360);
    p.Radius = 40 * random.Uniform(0.5, 2.0);  // the base pictures' radius is 40
    largest = std::max(largest, p.Radius);
    placed.push_back(p);
  }
  *cell = static_cast<int>(std::ceil(3 * largest)) + 12;  // room for the blur's tail
  for (size_t k = 0; k < placed.size(); ++k) {
    TPlacement& p = placed[k];
    const double slack = std::max(0.0, *cell / 2.0 - 1.3 * p.Radius - 6);
    p.X = (k % perRow + 0.5) * *cell + random.Uniform(-slack, slack) + random.Uniform(-0.5, 0.5);
    p.Y = (k / perRow + 0.5) * *cell + random.Uniform(-slack, slack) + random.Uniform(-0.5, 0.5);
  }
  return placed;
}

TScene DrawScene(ECondition condition, size_t first, int perRow, const QString& file,
                 TDrawingRandom& random) {
  TScene scene{condition, file, 0, perRow, {}};
  const std::vector<TPlacement> placed = Layout(first, perRow, &scene.Cell, random);
  const int side = scene.Cell * perRow;
  TCanvas canvas(side, side, Ground(condition, random));
  for (const TPlacement& p : placed) {
    DrawSmooth(canvas, p, Ink(condition, random));
    scene.Truth.push_back(p.Shape);
  }
  Finish(condition, canvas, random);
  QImage picture = ToImage(canvas);
  if (condition == SaltPepper) SaltAndPepper(picture, random.Uniform(0.01, 0.03), random);
  const int quality = condition == Jpeg ? 50 + static_cast<int>(random.Index(46)) : -1;
  if (!picture.save(file, condition == Jpeg ? "JPG" : "PNG", quality))
    Fail("cannot write " + file.toStdString());
  return scene;
}

// Every condition draws from a generator of its own, seeded apart from the accuracy
// bench's (which seeds with S alone).
std::vector<TScene> DrawCondition(ECondition condition, const TArguments& a, const QString& dir) {
  const auto seed = static_cast<uint32_t>(a.Seed), high = static_cast<uint32_t>(a.Seed >> 32);
  std::seed_seq sequence{seed, high, 0x434f4e44u, static_cast<uint32_t>(condition)};
  TDrawingRandom random{std::mt19937_64(sequence)};
  QDir().mkpath(dir);
  const QString suffix = condition == Jpeg ? ".jpg" : ".png";
  std::vector<TScene> scenes;
  char name[32];
  for (int i = 0; i < a.Count; ++i) {
    std::snprintf(name, sizeof name, "/one-%03d", i);
    scenes.push_back(DrawScene(condition, static_cast<size_t>(i), 1, dir + name + suffix, random));
  }
  for (int i = 0; i < a.Count / 2; ++i) {
    std::snprintf(name, sizeof name, "/four-%03d", i);
    scenes.push_back(
        DrawScene(condition, 4 * static_cast<size_t>(i), 2, dir + name + suffix, random));
  }
  return scenes;
}

// ---- scoring ----------------------------------------------------------------------------

enum class EVerdict { Right, Wrong, Unknown };

struct TCellAnswer {
  std::string Label = "none";
  double Sameness = 0;
  EVerdict Verdict = EVerdict::Unknown;
  std::string Nearest = "none";  // the nearest shape, labelled or not
  double RunnerUp = -1;          // the runner-up shape's sameness
  long long Pixels = 0;
};

struct TSceneScore {
  std::vector<TCellAnswer> Cells;
  int Regions = 0, Stray = 0;
};

// The cell holding the centre of the region's bounding box.
size_t CellOf(const TScene& scene, const TRegionRow& r) {
  const auto at = [&](long long lo, long long hi) {
    return std::clamp(static_cast<int>(std::floor((lo + hi) / 2.0 / scene.Cell)), 0,
                      scene.PerRow - 1);
  };
  return static_cast<size_t>(at(r.Top, r.Bottom) * scene.PerRow + at(r.Left, r.Right));
}

// label: recognize's own, "unknown" where it withholds the answer.
EVerdict Judge(const std::string& truth, const std::string& label) {
  if (label == "none" || label == "unknown") return EVerdict::Unknown;
  return label == truth ? EVerdict::Right : EVerdict::Wrong;
}

// Per cell, its largest region answers; the other regions labelled at recognize's
// default threshold are stray labels.
TSceneScore Score(const TScene& scene, const std::vector<const TRegionRow*>& rows) {
  const size_t cells = scene.Truth.size();
  std::vector<const TRegionRow*> largest(cells, nullptr);
  for (const TRegionRow* r : rows) {
    const TRegionRow*& best = largest[CellOf(scene, *r)];
    if (!best || r->Pixels > best->Pixels) best = r;
  }
  TSceneScore score;
  score.Regions = static_cast<int>(rows.size());
  for (size_t k = 0; k < cells; ++k) {
    TCellAnswer answer;
    if (largest[k])
      answer = {largest[k]->Label,  largest[k]->Sameness,       EVerdict::Unknown,
                largest[k]->Shape,  largest[k]->RunnerSameness, largest[k]->Pixels};
    answer.Verdict = Judge(scene.Truth[k], answer.Label);
    score.Cells.push_back(answer);
  }
  for (const TRegionRow* r : rows)
    if (std::find(largest.begin(), largest.end(), r) == largest.end() &&
        r->Label != "unknown")
      ++score.Stray;
  return score;
}

struct TTally {
  long long Shapes = 0, Right = 0, Wrong = 0, Unknown = 0, Stray = 0;
  std::vector<int> Regions;  // per picture
  void Add(const TSceneScore& s) {
    for (const TCellAnswer& c : s.Cells) {
      ++Shapes;
      (c.Verdict == EVerdict::Right ? Right : c.Verdict == EVerdict::Wrong ? Wrong : Unknown) += 1;
    }
    Stray += s.Stray;
    Regions.push_back(s.Regions);
  }
  void Add(const TTally& t) {
    Shapes += t.Shapes, Right += t.Right, Wrong += t.Wrong, Unknown += t.Unknown;
    Stray += t.Stray;
    Regions.insert(Regions.end(), t.Regions.begin(), t.Regions.end());
  }
  int Median() const {
    std::vector<int> v = Regions;
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  }
  int Max() const { return Regions.empty() ? 0 : *std::max_element(Regions.begin(), Regions.end()); }
};

// ---- the runs ---------------------------------------------------------------------------

void WriteFile(const QString& file, const QByteArray& text) {
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size())
    Fail("cannot write " + file.toStdString());
}

// One recognize command over all the pictures (its CSV kept as WORK/recognize-VARIANT.csv);
// per picture its score.
std::vector<TSceneScore> Recognize(const TArguments& a, const QString& base, const QString& variant,
                                   const std::vector<TScene>& scenes, double* ms) {
  // --top 2 only adds the runner-up's columns, kept for a closer look.
  QStringList args = {"recognize", "--base", base, "--format", "csv", "--jobs", "2", "--top", "2"};
  if (variant != "none") args << "--background" << variant;
  args << a.RecognizeOptions;
  for (const TScene& s : scenes) args << s.File;
  const QByteArray csv = Run(a.Cli, args, ms);
  WriteFile(a.Work + "/recognize-" + variant + ".csv", csv);
  const std::vector<TRegionRow> rows = RecognizedRegions(csv);
  std::map<std::string, std::vector<const TRegionRow*>> byScene;
  for (const TRegionRow& r : rows) byScene[r.Scene].push_back(&r);
  std::vector<TSceneScore> scores;
  for (const TScene& s : scenes) scores.push_back(Score(s, byScene[s.File.toStdString()]));
  return scores;
}

// The peer's label of every cell, per picture; its lists written to WORK/peer.
std::vector<std::vector<std::string>> RunPeer(const TArguments& a, const TBuiltBase& base,
                                              const std::vector<TScene>& scenes, double* ms) {
  QByteArray basePictures = "name,file\n", tests = "picture,cell,left,top,right,bottom,truth\n";
  for (const TBaseSource& p : base.Pictures)
    basePictures += QByteArray::fromStdString(p.Shape) + "," + p.File.toUtf8() + "\n";
  for (const TScene& s : scenes)
    for (size_t k = 0; k < s.Truth.size(); ++k) {
      const int left = static_cast<int>(k) % s.PerRow * s.Cell;
      const int top = static_cast<int>(k) / s.PerRow * s.Cell;
      tests += QString("%1,%2,%3,%4,%5,%6,%7\n")
                   .arg(s.File).arg(k).arg(left).arg(top).arg(left + s.Cell - 1)
                   .arg(top + s.Cell - 1).arg(QString::fromStdString(s.Truth[k])).toUtf8();
    }
  QDir().mkpath(a.Work + "/peer");
  WriteFile(a.Work + "/peer/base_pictures.csv", basePictures);
  WriteFile(a.Work + "/peer/tests.csv", tests);
  const QString script = QFileInfo(QString(__FILE__)).absolutePath() + "/opencv_conditions_peer.py";
  const QByteArray out = Run(a.Python, {script, a.Work + "/peer/base_pictures.csv",
                                        a.Work + "/peer/tests.csv"}, ms);
  std::map<std::pair<std::string, size_t>, std::string> labels;
  for (const QByteArray& line : out.split('\n')) {
    const std::vector<std::string> f = SplitCsvLine(line.trimmed().toStdString());
    if (f.size() == 3 && f[0] != "picture") labels[{f[0], std::stoul(f[1])}] = f[2];
  }
  std::vector<std::vector<std::string>> answers;
  for (const TScene& s : scenes) {
    answers.emplace_back();
    for (size_t k = 0; k < s.Truth.size(); ++k) {
      const auto it = labels.find({s.File.toStdString(), k});
      if (it == labels.end()) Fail("the peer gave no answer for " + s.File.toStdString());
      answers.back().push_back(it->second);
    }
  }
  return answers;
}

// ---- the report -------------------------------------------------------------------------

struct TResults {
  std::vector<TScene> Scenes;
  std::vector<std::vector<TSceneScore>> Variants;  // [variant][scene]
  std::vector<double> VariantMs;
  std::vector<std::vector<std::string>> Peer;      // [scene][cell]
  double PeerMs = 0;
};

const char* VerdictName(EVerdict v) {
  return v == EVerdict::Right ? "right" : v == EVerdict::Wrong ? "wrong" : "unknown";
}

void WriteAnswers(const TArguments& a, const TResults& r) {
  QByteArray csv =
      "condition,picture,cell,drawn,answerer,label,sameness,verdict,nearest,runner_up_sameness,"
      "pixels\n";
  for (size_t i = 0; i < r.Scenes.size(); ++i) {
    const TScene& s = r.Scenes[i];
    for (size_t k = 0; k < s.Truth.size(); ++k) {
      const QString head = QString("%1,%2,%3,%4,").arg(ConditionNames[s.Condition]).arg(s.File)
                               .arg(k).arg(QString::fromStdString(s.Truth[k]));
      for (size_t v = 0; v < r.Variants.size(); ++v) {
        const TCellAnswer& c = r.Variants[v][i].Cells[k];
        csv += (head + "ormax background " + a.Variants[static_cast<qsizetype>(v)] + "," +
                QString::fromStdString(c.Label) + "," + QString::number(c.Sameness, 'g', 17) +
                "," + VerdictName(c.Verdict) + "," + QString::fromStdString(c.Nearest) + "," +
                QString::number(c.RunnerUp, 'g', 17) + "," + QString::number(c.Pixels) + "\n")
                   .toUtf8();
      }
      const std::string& peer = r.Peer[i][k];
      csv += (head + "opencv peer," + QString::fromStdString(peer) + ",," +
              (peer == s.Truth[k] ? "right" : peer == "none" ? "unknown" : "wrong") + ",,,\n")
                 .toUtf8();
    }
  }
  WriteFile(a.Work + "/conditions.csv", csv);
}

double Percent(long long n, long long of) { return of ? 100.0 * n / of : 0; }

void PrintHeader(const TArguments& a) {
  std::printf("%-14s %8s %6s", "", "", "");
  for (const QString& v : a.Variants)
    std::printf(" | %-41s", ("background " + v).toStdString().c_str());
  std::printf(" | %s\n%-14s %8s %6s", "opencv", "condition", "pictures", "shapes");
  for (qsizetype v = 0; v < a.Variants.size(); ++v)
    std::printf(" | %7s %5s %9s %5s %11s", "right %", "wrong", "unknown %", "stray", "regions m/M");
  std::printf(" | %s\n", "right %");
}

void PrintRow(const char* name, size_t pictures, const std::vector<TTally>& tallies,
              long long peerRight) {
  std::printf("%-14s %8zu %6lld", name, pictures, tallies[0].Shapes);
  for (const TTally& t : tallies)
    std::printf(" | %7.1f %5lld %9.1f %5lld %5d/%-5d", Percent(t.Right, t.Shapes), t.Wrong,
                Percent(t.Unknown, t.Shapes), t.Stray, t.Median(), t.Max());
  std::printf(" | %7.1f\n", Percent(peerRight, tallies[0].Shapes));
}

void PrintTable(const TArguments& a, const TResults& r) {
  PrintHeader(a);
  const size_t variants = r.Variants.size();
  std::vector<TTally> total(variants);
  long long peerTotal = 0;
  for (int c = 0; c < ConditionCount; ++c) {
    std::vector<TTally> tallies(variants);
    long long peerRight = 0;
    size_t pictures = 0;
    for (size_t i = 0; i < r.Scenes.size(); ++i) {
      if (r.Scenes[i].Condition != c) continue;
      ++pictures;
      for (size_t v = 0; v < variants; ++v) tallies[v].Add(r.Variants[v][i]);
      for (size_t k = 0; k < r.Scenes[i].Truth.size(); ++k)
        peerRight += r.Peer[i][k] == r.Scenes[i].Truth[k];
    }
    PrintRow(ConditionNames[c], pictures, tallies, peerRight);
    for (size_t v = 0; v < variants; ++v) total[v].Add(tallies[v]);
    peerTotal += peerRight;
  }
  PrintRow("total", r.Scenes.size(), total, peerTotal);
}

void PrintReport(const TArguments& a, const TResults& r) {
  std::printf("== pictures as people have them ==\n");
  std::printf("%d one-shape and %d four-shape pictures per condition, seed %llu; right, wrong "
              "and unknown as recognize labels them at its defaults; stray labels: other "
              "regions it labels; regions m/M: per picture, median/max\n\n",
              a.Count, a.Count / 2, static_cast<unsigned long long>(a.Seed));
  PrintTable(a, r);
  std::printf("\n");
  for (qsizetype v = 0; v < a.Variants.size(); ++v)
    std::printf("recognize, background %s: %.1f s (the whole command, --jobs 2, %zu pictures)\n",
                a.Variants[v].toStdString().c_str(), r.VariantMs[static_cast<size_t>(v)] / 1000,
                r.Scenes.size());
  std::printf("opencv peer: %.1f s (the whole process, one thread)\n", r.PeerMs / 1000);
  std::printf("answers: %s/conditions.csv\nreproduce: %s\n", a.Work.toStdString().c_str(),
              Quoted(QCoreApplication::arguments()).toStdString().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  TBenchApplication app(argc, argv);
  const TArguments a = Parse(app.arguments());
  QDir(a.Work).removeRecursively();
  const TBuiltBase base = BuildBase(a.Cli, a.Shapes, a.Work, {});

  TResults r;
  for (int c = 0; c < ConditionCount; ++c) {
    const std::vector<TScene> scenes = DrawCondition(
        static_cast<ECondition>(c), a, a.Work + "/pictures/" + ConditionFolders[c]);
    r.Scenes.insert(r.Scenes.end(), scenes.begin(), scenes.end());
  }
  for (const QString& v : a.Variants) {
    r.VariantMs.push_back(0);
    r.Variants.push_back(Recognize(a, base.List, v, r.Scenes, &r.VariantMs.back()));
  }
  r.Peer = RunPeer(a, base, r.Scenes, &r.PeerMs);
  WriteAnswers(a, r);
  PrintReport(a, r);
  return 0;
}
