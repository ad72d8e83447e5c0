// BaseBuilder: each copy is analysed by its own application state with the base's
// settings, exactly as a scene of one shape would be.
//   DefaultScales, TurnName, ShapeEntries, BuildBase, LoadBase
#include "app/BaseBuilder.h"

#include "app/AppState.h"
#include "app/FormatGeneral.h"
#include "codes/Errors.h"
#include "model/Resampling.h"

namespace ormax {

std::vector<double> DefaultScales(int32_t turns) {
  return turns == 1 ? std::vector<double>{1.0} : TBaseOptions{}.Scales;
}

std::string TurnName(const std::string& shape, double degrees, bool mirrored, double scale) {
  return shape + "@" + (mirrored ? "m" : "") + FormatGeneral(degrees, 6) +
         (scale == 1 ? "" : "x" + FormatGeneral(scale, 6));
}

std::vector<TBaseEntry> ShapeEntries(const TPattern& picture, const std::string& shape,
                                     const TBaseOptions& options, std::string& problem) {
  problem.clear();
  std::vector<TBaseEntry> entries;
  for (int m = 0; m <= (options.Mirror ? 1 : 0); ++m)
    for (const double scale : options.Scales)
    for (int32_t k = 0; k < options.Turns; ++k) {
      const double degrees = 360.0 * k / options.Turns;
      const bool plain = options.Turns == 1 && m == 0 && scale == 1;
      TAppState s;
      s.Threads = 1;
      TResampling move;
      move.Degrees = degrees;
      move.Scale = scale;
      move.Mirror = m == 1;
      s.SceneImage = std::make_unique<TPattern>(plain ? picture : ResamplePattern(picture, move));
      s.MaxTreeLevel = options.MaxTreeLevel;
      s.AdmissibleError = options.AdmissibleError;
      s.Reading = options.Reading;
      s.BuildSceneCodes();
      const std::string name = plain ? shape : TurnName(shape, degrees, m == 1, scale);
      if (s.SceneCodes.Count() != 1) {
        problem = std::to_string(s.SceneCodes.Count()) + " regions" +
                  (plain ? "" : " in the copy " + name) + ", a base picture needs exactly one";
        return {};
      }
      entries.push_back(
          TBaseEntry{name, std::make_unique<TCode>(std::move(s.SceneCodes.GetCode(0)))});
    }
  return entries;
}

void BuildBase(const std::vector<TBasePicture>& pictures,
               const std::function<std::unique_ptr<TPattern>(const TBasePicture&)>& load,
               const TBaseOptions& options, TCodeBase& base, std::vector<std::string>& problems,
               std::vector<std::string>* warnings) {
  struct TMade {
    const TBasePicture* Picture;
    std::vector<TBaseEntry> Entries;
  };
  std::vector<TMade> made;
  for (const TBasePicture& picture : pictures) {
    std::unique_ptr<TPattern> pattern;
    try {
      pattern = load(picture);
    } catch (const std::exception& e) {
      problems.push_back(e.what());
      continue;
    }
    if (warnings && options.Reading.Background == TBackground::White) {
      TAppState s;  // the picture as it is, not a copy: a copy's corners are white
      s.Threads = 1;
      s.Reading = options.Reading;
      s.SceneImage = std::make_unique<TPattern>(*pattern);
      s.SegmentScene();
      if (!s.BackgroundMisfit.empty()) warnings->push_back(picture.File + ": " + s.BackgroundMisfit);
    }
    std::string problem;
    auto entries = ShapeEntries(*pattern, picture.Shape, options, problem);
    if (!problem.empty()) {
      problems.push_back(picture.File + ": " + problem);
      continue;
    }
    made.push_back(TMade{&picture, std::move(entries)});
  }
  for (TMade& picture : made)
    for (TBaseEntry& entry : picture.Entries) {
      const int32_t depth = entry.Code->Depth();
      if (base.Admit(entry.Name, entry.Code) == TBaseMismatch::None) continue;
      const int32_t level = options.MaxTreeLevel;
      problems.push_back(picture.Picture->File + ": the tree of " + entry.Name + " reaches level " +
                         std::to_string(depth) + ", not " + std::to_string(level) +
                         ", so the base would not load; --error 0 " +
                         "lets every tree reach the maximum level" +
                         (depth < level ? ", and a smaller --level suits a small shape" : ""));
    }
}

void LoadBase(const std::string& list, TCodeBase& base) {
  if (base.LoadBaseList(list) == 0)
    throw EReadError(list + ": the base is empty", list, "the base is empty");
}

}  // namespace ormax
