// InspectorFrm: the "Region" dock beside the picture: the figures of the selected
// region (index, bounds, pixels, centre, root ellipse, tree depth and items) and,
// after Recognize, its label (as the picture shows it) and the five nearest entries of
// distinct shapes with their sameness.
//   InspectorFigures (TInspectorFigures, the figures of one region of a state),
//   TInspectorForm: ShowRegion, Clear
// The figures are those of the Results table and the command line's recognize.
#pragma once

#include <QDockWidget>
#include <QLabel>
#include <string>
#include <vector>

#include "app/AppState.h"

namespace ormax {

struct TInspectorFigures {
  int32_t Region = -1;
  TRect Bounds{};
  long long Pixels = 0;
  TPoint Centre{};
  double AxisA = 0, AxisB = 0, Angle = 0;  // the root ellipse; the angle in degrees
  int32_t Depth = 0;                       // of the region's code
  int32_t Items = 0;
  struct TNearest {
    std::string Entry;
    double Distance = 0;
    double Sameness = 0;  // (1 - distance) x 100
  };
  std::vector<TNearest> Nearest;  // empty before Recognize
  std::string Label;              // the label the picture shows; empty before Recognize
};

// Needs the trees and codes of Build Trees; the nearest list needs recognition results.
TInspectorFigures InspectorFigures(const TAppState& state, int32_t region);

class TInspectorForm : public QDockWidget {
  Q_OBJECT

 public:
  explicit TInspectorForm(QWidget* parent = nullptr);
  void ShowRegion(const TInspectorFigures& figures, char decimalSeparator);
  void Clear();

  TInspectorFigures Figures;  // of the region shown; Region -1 when none
  QLabel* Text;
};

}  // namespace ormax
