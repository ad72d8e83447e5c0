// The scene benchmark: the pipeline stage by stage on generated scenes, run by
// bench/scene_bench.py next to the OpenCV peer. One scene per process, so that the
// peak memory printed belongs to that scene alone.
//   ormax_scenebench SCENE [--factor K] [--runs N] [--bmp FILE [--write-only]] [--peak] [--total]
// SCENE: small (1024 x 1024, 60 shapes), large (4096 x 4096, 800 shapes, about 10 %
// non-white), noise (4096 x 4096, every pixel noise with probability 1/2), noise8k (the
// same at 8192 x 8192) or sparse (3000 x 2000, noise with probability 5 %). K
// multiplies the number of shapes. --bmp writes the scene as a 24-bit BMP (for the
// peer) and times reading it back. --peak builds the trees at level 0 once and prints
// the peak memory; --total times only Build Trees at level 0; --write-only only writes
// the BMP.
// Output: one "name value" line per measure, times in seconds (median of the runs).
#include <sys/resource.h>

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/SceneGenerator.h"
#include "qt/QtBitmap.h"
#include "app/AppState.h"
#include "app/Views.h"
#include "qt/QtCanvas.h"

namespace ormax::bench {
namespace {

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    prepare();
    times.push_back(Seconds(work));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Print(const char* name, double value) {
  std::printf("%s %.6f\n", name, value);
  std::fflush(stdout);
}

std::unique_ptr<TPattern> MakeScene(const std::string& name, int factor) {
  if (name == "small") return GenerateScene(1024, 1024, 60 * factor, 7, 0.3);
  if (name == "large") return GenerateScene(4096, 4096, 800 * factor, 8, 0.3);
  if (name == "noise") return GenerateNoiseScene(4096, 4096, 9);
  if (name == "noise8k") return GenerateNoiseScene(8192, 8192, 9);
  if (name == "sparse") return GenerateSparseNoiseScene(3000, 2000, 10, 50);
  std::fprintf(stderr, "unknown scene %s\n", name.c_str());
  std::exit(2);
}

// A 24-bit bottom-up BMP; TColor is 0x00BBGGRR.
void WriteBmp(const TPattern& scene, const std::string& file) {
  const int32_t w = scene.Width(), h = scene.Height();
  const int32_t stride = (w * 3 + 3) / 4 * 4;
  std::vector<unsigned char> bytes(54 + static_cast<size_t>(stride) * h, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<uint32_t>(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  bytes[26] = 1;
  bytes[28] = 24;
  for (int32_t y = 0; y < h; ++y) {
    unsigned char* row = &bytes[54 + static_cast<size_t>(stride) * (h - 1 - y)];
    for (int32_t x = 0; x < w; ++x) {
      const TColor c = scene.GetPixel(scene.Left + x, scene.Top + y);
      row[3 * x] = static_cast<unsigned char>(c >> 16);
      row[3 * x + 1] = static_cast<unsigned char>(c >> 8);
      row[3 * x + 2] = static_cast<unsigned char>(c);
    }
  }
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

std::unique_ptr<TPattern> ReadBmp(const std::string& file) {
  try {
    return ScenePattern(LoadScenePicture(QString::fromStdString(file), true));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::exit(2);
  }
}

// A canvas that draws nothing: what a view costs before any pixel is set.
class TNoCanvas : public ICanvas {
 public:
  TRect ClipRect() const override { return {0, 0, 1 << 16, 1 << 16}; }
  TColor GetPixel(int32_t, int32_t) const override { return clWhite; }
  void SetPixel(int32_t, int32_t, TColor) override {}
  void SetBrushColor(TColor) override {}
  void FillRect(const TRect&) override {}
  void FrameRect(const TRect&) override {}
  void SetPenColor(TColor) override {}
  void SetPenWidth(int32_t) override {}
  void MoveTo(int32_t, int32_t) override {}
  void LineTo(int32_t, int32_t) override {}
  void Polyline(std::span<const TPathPoint>) override {}
  void SetFontSize(int32_t) override {}
  void SetFontColor(TColor) override {}
  void TextOut(int32_t, int32_t, const std::string&) override {}
  int32_t TextHeight() const override { return 0; }
};

long PeakBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss * 1024L;
}

// 1000 codes of level-5 trees (error 0.05) of generated shapes: the base recognised against.
void BuildBase(TCodeBase& base) {
  TAppState source;
  source.SceneImage = GenerateScene(2048, 2048, 1300, 99);
  source.MaxTreeLevel = 5;
  source.AdmissibleError = 0.05;
  source.BuildSceneCodes();
  for (int32_t i = 0; i < source.SceneCodes.Count() && base.Count() < 1000; ++i)
    base.Add("c" + std::to_string(i), std::make_unique<TCode>(source.SceneCodes.GetCode(i)));
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ormax_scenebench small|large|noise [options]\n");
    return 2;
  }
  const std::string name = argv[1];
  int factor = 1, runs = 3;
  std::string bmp;
  bool peak = false, total = false, writeOnly = false, views = false;
  for (int k = 2; k < argc; ++k) {
    const std::string a = argv[k];
    if (a == "--factor" && k + 1 < argc) factor = std::atoi(argv[++k]);
    else if (a == "--runs" && k + 1 < argc) runs = std::atoi(argv[++k]);
    else if (a == "--bmp" && k + 1 < argc) bmp = argv[++k];
    else if (a == "--peak") peak = true;
    else if (a == "--total") total = true;
    else if (a == "--write-only") writeOnly = true;
    else if (a == "--views") views = true;
  }

  std::unique_ptr<TPattern> scene = MakeScene(name, factor);
  if (peak) {
    // The pipeline's own peak: the scene in memory, then Build Trees at level 0.
    const long before = PeakBytes();
    TAppState app;
    app.SceneImage = std::move(scene);
    app.BuildSceneCodes();
    const double matrix = 4.0 * app.SceneImage->Width() * app.SceneImage->Height();
    Print("regions", app.Segments.Count());
    Print("peak_mb", PeakBytes() / 1048576.0);
    Print("start_mb", before / 1048576.0);
    Print("peak_over_matrix", PeakBytes() / matrix);
    return 0;
  }
  if (!bmp.empty()) {
    WriteBmp(*scene, bmp);
    if (writeOnly) return 0;
    Print("scene_read", Median(runs, [] {}, [&] { scene = ReadBmp(bmp); }));
  }
  long nonWhite = 0;
  for (int32_t y = scene->Top; y <= scene->Bottom; ++y)
    for (int32_t x = scene->Left; x <= scene->Right; ++x) nonWhite += scene->IsInside(x, y);
  Print("non_white", static_cast<double>(nonWhite) / (static_cast<double>(scene->Width()) * scene->Height()));

  TAppState app;
  app.SceneImage = std::move(scene);
  app.MaxTreeLevel = 0;
  app.AdmissibleError = 0.05;
  Print("build_trees_0", Median(runs, [&] { app.ResetAnalysis(); }, [&] { app.BuildSceneCodes(); }));
  Print("regions", app.Segments.Count());
  if (total) return 0;
  if (views) {
    // The drawing of the views alone, on a picture of the scene's size. Each run draws on
    // a thread of its own, so that nothing a drawing keeps per thread (the outlines'
    // shapes) is left from the run before: every run is a first drawing.
    QImage picture(app.SceneImage->Width(), app.SceneImage->Height(), QImage::Format_RGB32);
    TQtCanvas canvas(picture);
    auto firstDrawing = [&](const std::function<void()>& draw) {
      return Median(runs, [] {}, [&] {
        std::thread fresh(draw);
        fresh.join();
      });
    };
    Print("view_quadro", firstDrawing([&] { DrawQuadro(app.QuadTree, *app.SceneImage, canvas); }));
    for (const bool fill : {true, false}) {
      app.FillEllipses = fill;
      Print(fill ? "view_filled" : "view_outlined", firstDrawing([&] {
              ClearView(canvas);
              DrawRepresentationView(app, canvas);
              canvas.Flush();
            }));
    }
    // The outlines' points alone: the same view on a canvas that draws nothing.
    TNoCanvas none;
    Print("view_outlined_points", firstDrawing([&] { DrawRepresentationView(app, none); }));
    return 0;
  }

  const TPattern& image = *app.SceneImage;
  TQuadTree quad;  // the compact form Build Trees makes
  Print("quadtree", Median(runs, [&] { quad.Clear(); }, [&] { quad.Build(image); }));
  TPatternList regions;
  Print("segmentation",
        Median(runs, [&] { regions.Clear(); }, [&] { SegmentPattern(image, regions); }));
  TTreeList trees;
  auto buildTrees = [&](int32_t level, double error) {
    for (int32_t i = 0; i < regions.Count(); ++i) {
      auto tree = std::make_unique<TTree>();
      BuildRepresentation(regions.Items(i), *tree, level, error, 0);
      trees.Add(std::move(tree));
    }
  };
  Print("trees_0", Median(runs, [&] { trees.Clear(); }, [&] { buildTrees(0, 0.05); }));
  Print("trees_5", Median(runs, [&] { trees.Clear(); }, [&] { buildTrees(5, 0.05); }));
  TCodeList codes;
  Print("codes", Median(runs, [&] { codes.Clear(); }, [&] {
          for (int32_t i = 0; i < regions.Count(); ++i) {
            auto normal = TTree::CreateCopy(trees.Items(i));
            NormaliseTree(regions.Items(i), *normal);
            auto code = std::make_unique<TCode>();
            TreeToCode(*normal, *code);
            codes.Add(std::move(code));
          }
        }));

  // Recognition of (at most) 200 scene codes at level 5 against 1000 base codes.
  TAppState recognition;
  BuildBase(recognition.CodeBase);
  for (int32_t i = 0; i < codes.Count() && i < 200; ++i)
    recognition.SceneCodes.Add(std::make_unique<TCode>(codes.GetCode(i)));
  Print("recognition_codes", recognition.SceneCodes.Count());
  Print("base_codes", recognition.CodeBase.Count());
  recognition.Threads = 1;
  const double one = Median(runs, [] {}, [&] { recognition.BuildSceneNearestIndices(); });
  Print("recognition_1", one);
  recognition.Threads = 0;
  const double all = Median(runs, [] {}, [&] { recognition.BuildSceneNearestIndices(); });
  Print("recognition_all", all);
  Print("threads", std::max(1u, std::thread::hardware_concurrency()));
  app.MaxTreeLevel = 5;
  Print("build_trees_5", Median(runs, [&] { app.ResetAnalysis(); }, [&] { app.BuildSceneCodes(); }));
  // The same on one thread: what the cores bring.
  app.Threads = 1;
  Print("build_trees_5_1", Median(runs, [&] { app.ResetAnalysis(); }, [&] { app.BuildSceneCodes(); }));
  app.Threads = 0;
  return 0;
}

}  // namespace
}  // namespace ormax::bench

int main(int argc, char** argv) {
  return ormax::bench::Main(argc, argv);
}
