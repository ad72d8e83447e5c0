// FormatGeneral: a real number as people read it, written from enough of its exact
// decimal digits to round half up at the last one kept.
//   FormatGeneral
#include "app/FormatGeneral.h"

#include <cstdlib>

namespace ormax {

std::string FormatGeneral(TExtended value, int precision, char decimalSeparator) {
  if (IsNaN(value)) return "NAN";
  if (IsInf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;

  // Enough digits of the exact value to round half up at the precision'th digit.
  const std::string scientific = FormatScientific(Fabs(value), precision + 40);
  std::string digits;
  const char* p = scientific.c_str();
  for (; *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int exponent = std::atoi(p + 1) + 1;  // value = 0.d1d2... x 10^exponent

  const bool roundUp = digits[static_cast<size_t>(precision)] >= '5';
  digits.resize(static_cast<size_t>(precision));
  if (roundUp) {
    int k = precision - 1;
    while (k >= 0 && digits[static_cast<size_t>(k)] == '9') digits[static_cast<size_t>(k--)] = '0';
    if (k >= 0) {
      ++digits[static_cast<size_t>(k)];
    } else {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = value < 0 ? "-" : "";
  const int n = static_cast<int>(digits.size());
  if (exponent >= -3 && exponent <= precision) {
    if (exponent <= 0) {
      text += "0";
      text += decimalSeparator;
      text += std::string(static_cast<size_t>(-exponent), '0') + digits;
    } else if (exponent >= n) {
      text += digits + std::string(static_cast<size_t>(exponent - n), '0');
    } else {
      text += digits.substr(0, static_cast<size_t>(exponent));
      text += decimalSeparator;
      text += digits.substr(static_cast<size_t>(exponent));
    }
  } else {
    text += digits[0];
    if (n > 1) {
      text += decimalSeparator;
      text += digits.substr(1);
    }
    text += "E" + std::to_string(exponent - 1);
  }
  return text;
}

}  // namespace ormax
