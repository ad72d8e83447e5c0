// TextFields: numbers and fields as the exported tables write them, the same for the
// command line and the desktop program's Results export.
//   ShortestDouble(v)  the shortest text that reads back as the same double; NaN and
//                      infinities as "NaN", "Infinity", "-Infinity"
//   CsvField(s)        s quoted (quotes doubled) only where it holds , " CR or LF
#pragma once

#include <string>

namespace ormax {

std::string ShortestDouble(double v);
std::string CsvField(const std::string& s);

}  // namespace ormax
