// FormatGeneral: the one rule by which the program writes a real number for people
// (status bar, dialogs, recognition labels, base names).
//   FormatGeneral(value, precision, decimalSeparator)
// NaN and infinities come out as "NAN", "INF" and "-INF"; precision is kept within 1 .. 18.
#pragma once

#include <string>

#include "numerics/Extended.h"

namespace ormax {

// value with `precision` significant digits, half up, trailing zeros dropped; fixed
// notation for decimal exponents -3 .. precision, else d.dddE<exp>. Zero gives "0".
std::string FormatGeneral(TExtended value, int precision, char decimalSeparator = '.');

}  // namespace ormax
