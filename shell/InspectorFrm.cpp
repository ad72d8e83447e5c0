// InspectorFrm: the "Region" dock (see InspectorFrm.h).
//   InspectorFigures, TInspectorForm (ShowRegion, Clear)
// Numbers are written for people (FormatGeneral, the locale's decimal separator).
#include "shell/InspectorFrm.h"

#include <cmath>

#include "analysis/Nearest.h"
#include "app/FormatGeneral.h"
#include "app/Results.h"

namespace ormax {

TInspectorFigures InspectorFigures(const TAppState& state, int32_t region) {
  TInspectorFigures f;
  f.Region = region;
  const TPattern& pattern = state.Segments.Items(region);
  f.Bounds = pattern.GetBounds();
  for (int32_t x = pattern.Left; x <= pattern.Right; ++x)
    for (int32_t y = pattern.Top; y <= pattern.Bottom; ++y) f.Pixels += pattern.IsInside(x, y);
  f.Centre = pattern.Center();
  if (region < state.Trees.Count() && !state.Trees.Items(region).Data.empty()) {
    const TEllipse root = TEllipse::CreateFromBytes(state.Trees.Items(region).Data);
    f.AxisA = static_cast<double>(root.Axes[0]);
    f.AxisB = static_cast<double>(root.Axes[1]);
    f.Angle = static_cast<double>(Atan2(root.Rotation[1][0], root.Rotation[0][0]) * 180 / Pi);
  }
  if (region < state.SceneCodes.Count()) {
    const TCode& code = state.SceneCodes.GetCode(region);
    f.Depth = code.Depth();
    f.Items = static_cast<int32_t>(code.Items.size());
    if (!state.NearestIndices.empty() && state.CodeBase.Count() > 0)
      for (const TNearestShape& n : FindNearestShapes(state.CodeBase, code, 5))
        f.Nearest.push_back({state.CodeBase.Names(n.Index), n.Distance,
                             static_cast<double>((Real(1.0) - n.Distance) * 100)});
  }
  if (static_cast<size_t>(region) < state.NearestIndices.size()) f.Label = RegionLabel(state, region);
  return f;
}

TInspectorForm::TInspectorForm(QWidget* parent) : QDockWidget("Region", parent) {
  setObjectName("Region");
  Text = new QLabel;
  Text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Text->setMargin(6);
  setWidget(Text);
  Clear();
}

void TInspectorForm::Clear() {
  Figures = TInspectorFigures();
  Text->setText("Click a region of the picture\n(after Build Trees).");
}

void TInspectorForm::ShowRegion(const TInspectorFigures& f, char decimalSeparator) {
  Figures = f;
  auto num = [&](double v) { return FormatGeneral(v, 6, decimalSeparator); };
  const TRect& b = f.Bounds;
  std::string text = "Region " + std::to_string(f.Region) + "\n";
  text += "Bounds: " + std::to_string(b.Left) + ", " + std::to_string(b.Top) + " - " +
          std::to_string(b.Right) + ", " + std::to_string(b.Bottom) + " (" +
          std::to_string(b.Right - b.Left + 1) + " x " + std::to_string(b.Bottom - b.Top + 1) +
          ")\n";
  text += "Pixels: " + std::to_string(f.Pixels) + "\n";
  text += "Centre: " + std::to_string(f.Centre.X) + ", " + std::to_string(f.Centre.Y) + "\n";
  text += "Root ellipse: a " + num(f.AxisA) + ", b " + num(f.AxisB) + ", angle " + num(f.Angle) +
          "\xC2\xB0\n";
  text += "Tree: depth " + std::to_string(f.Depth) + ", " + std::to_string(f.Items) + " items\n";
  if (!f.Label.empty()) text += "\nLabel: " + f.Label + "\n";
  if (!f.Nearest.empty()) {
    text += "\nNearest shapes:\n";
    for (size_t k = 0; k < f.Nearest.size(); ++k)
      text += std::to_string(k + 1) + ". " + f.Nearest[k].Entry + ": " +
              FormatGeneral(f.Nearest[k].Sameness, 3, decimalSeparator) + "%\n";
  }
  Text->setText(QString::fromStdString(text));
}

}  // namespace ormax
