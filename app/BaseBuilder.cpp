// BaseBuilder: each copy is analysed by its own application state with the base's
// settings, exactly as a scene of one shape would be.
//   TurnName, ShapeEntries
#include "app/BaseBuilder.h"

#include "app/AppState.h"
#include "app/FormatGeneral.h"
#include "model/Resampling.h"

namespace ormax {

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

}  // namespace ormax
