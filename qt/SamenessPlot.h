// SamenessPlot: a picture of how alike the right and the wrong answers were, as two
// histograms over 0 .. 100 % sameness in 2 % bins (counts on a square-root scale), with
// the threshold marked.
//   SamenessPlot(right, wrong, threshold, title)
// Empty lists draw empty axes; values outside 0 .. 100 go to the end bins.
#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace ormax {

QImage SamenessPlot(const std::vector<double>& right, const std::vector<double>& wrong,
                    double threshold, const QString& title);

}  // namespace ormax
