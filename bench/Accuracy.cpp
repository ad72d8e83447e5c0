// Accuracy: recognition of shapes drawn apart from the base, as a user meets them.
// Draws the base pictures (the sample shapes as they are in examples/shapes, and a
// mirror pair, b and d, at the same size), builds a base from them with `ormax-cli base`
// and the options given, draws held-out pictures from the shapes' outlines (a seeded
// random angle, scale, sub-pixel position and colour; one in three in two colours),
// recognises them with `ormax-cli recognize` and reports what came out.
// Usage: ormax_accuracy --cli ORMAX-CLI --shapes DIR --work DIR [--seed S] [--count N]
//        [--scene SCENE.bmp] [--plot OUT.png] [--title T] [--pixels LO,HI]
//        [-- BASE OPTIONS...]
// --pixels draws every shape with LO to HI pixels (log-uniform) instead of at 0.5 to 2
// times the base pictures' size.
// Nothing of the held-out drawing reaches the base: it is built before they are drawn.
// What it shares with the conditions bench (the base, the commands, the CSV) is in
// bench/HeldOut.h.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/Evaluation.h"
#include "bench/HeldOut.h"
#include "cli/RecognizeCommand.h"
#include "qt/QtBitmap.h"
#include "qt/SamenessPlot.h"
#include "tools/SampleShapes.h"

namespace {

using namespace ormax;

// Colours of the fixed palette, so the 8-bit file keeps them exactly.
const QRgb Colours[] = {qRgb(204, 0, 0),   qRgb(0, 51, 204),   qRgb(0, 153, 51),
                        qRgb(255, 153, 0), qRgb(102, 51, 153), qRgb(0, 128, 128),
                        qRgb(102, 102, 102), qRgb(153, 102, 51), qRgb(0, 0, 0),
                        qRgb(204, 0, 204), qRgb(51, 102, 0),   qRgb(0, 0, 102)};

struct TArguments : TShapeOptions {
  TArguments() { Count = 624; }
  QString Scene, Plot, Title = "held-out shapes";
  double MinPixels = 0, MaxPixels = 0;  // 0: sizes 0.5 to 2
  QStringList BaseOptions;
};

TArguments Parse(const QStringList& args) {
  TArguments a;
  a.BaseOptions = ParseOptionPairs(args, [&](const QString& k, const QString& v) {
    if (a.Take(k, v)) return true;
    if (k == "--scene") a.Scene = v;
    else if (k == "--plot") a.Plot = v;
    else if (k == "--title") a.Title = v;
    else if (k == "--pixels") {
      a.MinPixels = v.section(',', 0, 0).toDouble();
      a.MaxPixels = v.section(',', 1, 1).toDouble();
      if (!(a.MinPixels >= 1 && a.MaxPixels >= a.MinPixels)) Fail("--pixels takes LO,HI");
    }
    else return false;
    return true;
  });
  if (a.Cli.isEmpty() || a.Shapes.isEmpty() || a.Work.isEmpty())
    Fail("usage: ormax_accuracy --cli ORMAX-CLI --shapes DIR --work DIR [--seed S] [--count N] "
         "[--scene SCENE.bmp] [--plot OUT.png] [--title T] [-- BASE OPTIONS...]");
  return a;
}

void Save(const QImage& picture, const QString& file) {
  SavePicture(ReduceTo256Colours(picture), file);
}

struct THeldOut {
  QString File;
  std::string Shape;
};

// The pixels of a shape drawn at the base pictures' radius, 40.
double PixelsAt40(const std::string& shape) {
  TPlacement p{shape, 75, 75, 40, 0, qRgb(0, 0, 0)};
  const QImage picture = Picture(150, 150, {p});
  double count = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) count += picture.pixel(x, y) != qRgb(255, 255, 255);
  return count;
}

// Shape i % kinds, so every kind is drawn as often; all else at random.
std::vector<THeldOut> DrawHeldOut(const TArguments& a, const QString& folder) {
  const std::vector<std::string> shapes = AllShapes();
  TDrawingRandom random{std::mt19937_64(a.Seed)};
  std::vector<THeldOut> pictures;
  for (int i = 0; i < a.Count; ++i) {
    TPlacement p;
    p.Shape = shapes[static_cast<size_t>(i) % shapes.size()];
    p.Degrees = random.Uniform(0, 360);
    if (a.MaxPixels > 0) {  // log-uniform in pixels: as many small shapes as large ones
      const double pixels =
          a.MinPixels * std::exp(random.Uniform(0, 1) * std::log(a.MaxPixels / a.MinPixels));
      p.Radius = 40 * std::sqrt(pixels / PixelsAt40(p.Shape));
    } else {
      p.Radius = 40 * random.Uniform(0.5, 2.0);  // the base pictures' radius is 40
    }
    const int side = static_cast<int>(std::ceil(3 * p.Radius)) + 6;
    p.X = side / 2.0 + random.Uniform(-0.5, 0.5);
    p.Y = side / 2.0 + random.Uniform(-0.5, 0.5);
    p.Color = Colours[random.Index(std::size(Colours))];
    p.Color2 = p.Color;
    if (i % 3 == 0) {
      while (p.Color2 == p.Color) p.Color2 = Colours[random.Index(std::size(Colours))];
      p.SplitDegrees = random.Uniform(0, 360);
    }
    char name[32];
    std::snprintf(name, sizeof name, "%04d.bmp", i);
    const QString file = folder + "/" + name;
    Save(Picture(side, side, {p}), file);
    pictures.push_back({file, p.Shape});
  }
  return pictures;
}

// Per picture, its largest region's row (an empty one when it has no region).
std::vector<TRegionRow> LargestRegions(const std::vector<THeldOut>& pictures,
                                       const QByteArray& csv) {
  std::map<std::string, TRegionRow> byScene;
  for (const TRegionRow& r : RecognizedRegions(csv)) {
    TRegionRow& slot = byScene[r.Scene];
    if (r.Pixels > slot.Pixels) slot = r;
  }
  std::vector<TRegionRow> rows;
  for (const THeldOut& p : pictures) {
    const auto it = byScene.find(p.File.toStdString());
    TRegionRow row;
    row.Shape = "none";
    rows.push_back(it == byScene.end() ? row : it->second);
  }
  return rows;
}

// Per picture, the label and sameness of its largest region ("none" when it has none).
std::vector<TAnswer> Answers(const std::vector<THeldOut>& pictures,
                             const std::vector<TRegionRow>& rows) {
  std::vector<TAnswer> answers;
  for (size_t i = 0; i < pictures.size(); ++i)
    answers.push_back(TAnswer{pictures[i].Shape, rows[i].Shape, rows[i].Sameness});
  return answers;
}

void PrintReport(const TEvaluation& e, const std::vector<std::string>& shapes,
                 const std::vector<THeldOut>& pictures, const std::vector<TRegionRow>& labelled) {
  std::printf("accuracy: %.2f %% (%lld of %lld right)\n", 100 * e.Accuracy(),
              static_cast<long long>(e.Right), static_cast<long long>(e.Answers));
  std::printf("\nper shape (right of drawn):\n");
  for (const std::string& s : shapes) {
    const auto it = e.PerShape.find(s);
    if (it == e.PerShape.end()) continue;
    std::printf("  %-10s %3lld of %3lld\n", s.c_str(), static_cast<long long>(it->second.Right),
                static_cast<long long>(it->second.Total));
  }
  std::printf("\nconfusion matrix (rows: drawn, columns: label):\n%-10s", "");
  for (const std::string& s : shapes) std::printf(" %5.5s", s.c_str());
  std::printf("\n");
  for (const std::string& truth : shapes) {
    std::printf("%-10s", truth.c_str());
    for (const std::string& label : shapes) {
      long long n = 0;
      if (truth == label) {
        const auto it = e.PerShape.find(truth);
        n = it == e.PerShape.end() ? 0 : it->second.Right;
      } else {
        const auto it = e.Confusions.find({truth, label});
        n = it == e.Confusions.end() ? 0 : it->second;
      }
      std::printf(" %5lld", n);
    }
    std::printf("\n");
  }
  const auto spread = [](const char* what, const TSpread& s) {
    if (s.Count)
      std::printf("sameness of %s answers: min %.2f, median %.2f, max %.2f (%lld)\n", what, s.Min,
                  s.Median, s.Max, static_cast<long long>(s.Count));
    else
      std::printf("sameness of %s answers: none\n", what);
  };
  std::printf("\n");
  spread("right", e.RightSpread);
  spread("wrong", e.WrongSpread);
  std::printf("lowest --min-sameness leaving no wrong label: %.1f (turns %.2f %% of the right "
              "answers into unknown)\n",
              e.MinSameness, 100 * e.UnknownRightShare);
  // What recognize gives at its defaults: a wrong label, or a right nearest shape withheld.
  long long wrong = 0, withheld = 0, right = 0, small = 0, smallWithheld = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const TRegionRow& r = labelled[i];
    if (r.Shape != pictures[i].Shape) {
      wrong += r.Label != "unknown" && r.Label != "";
      continue;
    }
    ++right;
    withheld += r.Label == "unknown";
    if (r.Pixels < 1000) {
      ++small;
      smallWithheld += r.Label == "unknown";
    }
  }
  std::printf("at recognize's defaults: %lld wrong labels, %lld of %lld right answers (%.2f %%) "
              "withheld as unknown; of those under 1000 pixels %lld of %lld (%.2f %%)\n",
              wrong, withheld, right, right ? 100.0 * withheld / right : 0.0, smallWithheld,
              small, small ? 100.0 * smallWithheld / small : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  TBenchApplication app(argc, argv);
  const TArguments a = Parse(app.arguments());
  QDir(a.Work).removeRecursively();
  QDir().mkpath(a.Work + "/heldout");

  // The base: the sample pictures as they are, and the mirror pair at the same size.
  const TBuiltBase base = BuildBase(a.Cli, a.Shapes, a.Work, a.BaseOptions);
  const QByteArray& made = base.Output;
  const double baseMs = base.Ms;

  const std::vector<THeldOut> pictures = DrawHeldOut(a, a.Work + "/heldout");
  // Recognize as a user runs it, at its defaults: the labels, "unknown" where it
  // withholds them; then every nearest shape with its runner-up, for a closer look.
  QStringList recognizeArgs = {"recognize", "--base", a.Work + "/base/base.txt", "--format",
                               "csv", "--jobs", "1"};
  for (const THeldOut& p : pictures) recognizeArgs << p.File;
  double recognizeMs = 0;
  const std::vector<TRegionRow> labelled =
      LargestRegions(pictures, Run(a.Cli, recognizeArgs, &recognizeMs));
  QStringList nearestArgs = recognizeArgs;
  nearestArgs << "--min-sameness" << "0" << "--top" << "2";
  const std::vector<TRegionRow> rows = LargestRegions(pictures, Run(a.Cli, nearestArgs));
  const std::vector<TAnswer> answers = Answers(pictures, rows);
  const TEvaluation e = Evaluate(answers);
  {
    // Every answer, for a closer look: work/answers.csv.
    QFile out(a.Work + "/answers.csv");
    if (!out.open(QIODevice::WriteOnly)) Fail("cannot write answers.csv");
    out.write("picture,drawn,nearest,sameness,pixels,runner_up_sameness,label\n");
    for (size_t i = 0; i < answers.size(); ++i)
      out.write((pictures[i].File + "," + QString::fromStdString(answers[i].Truth) + "," +
                 QString::fromStdString(answers[i].Label) + "," +
                 QString::number(answers[i].Sameness, 'g', 17) + "," +
                 QString::number(rows[i].Pixels) + "," +
                 QString::number(rows[i].RunnerSameness, 'g', 17) + "," +
                 QString::fromStdString(labelled[i].Label) + "\n")
                    .toUtf8());
  }

  std::printf("== %s: base options '%s', %d held-out pictures, seed %llu ==\n",
              a.Title.toStdString().c_str(), a.BaseOptions.join(' ').toStdString().c_str(),
              a.Count, static_cast<unsigned long long>(a.Seed));
  std::printf("base: %s", made.toStdString().c_str());
  std::printf("base built in %.0f ms (the whole command)\n\n", baseMs);
  PrintReport(e, AllShapes(), pictures, labelled);
  std::printf("time per scene: %.2f ms (recognize of all the pictures on one core, the whole "
              "command, divided by their number)\n",
              recognizeMs / pictures.size());
  if (!a.Scene.isEmpty()) {
    std::vector<double> times;
    for (int k = 0; k < 5; ++k) {
      double ms = 0;
      Run(a.Cli, {"recognize", "--base", a.Work + "/base/base.txt", "--jobs", "1", a.Scene}, &ms);
      times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("%s against this base: %.1f ms (the whole command on one core, median of 5)\n",
                a.Scene.toStdString().c_str(), times[2]);
  }
  if (!a.Plot.isEmpty()) {
    SavePicture(SamenessPlot(e.RightSameness, e.WrongSameness, TLabelRule::LowestLabelled,
                             a.Title + " (line: the lowest sameness recognize labels)"),
                a.Plot, "png");
    std::printf("plot: %s\n", a.Plot.toStdString().c_str());
  }
  return 0;
}
