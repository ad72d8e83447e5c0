// LocaleNumbers: numbers read from and shown to people, with the decimal separator of
// their locale.
//   DecimalSeparator, ReadReal, ReadInteger (EConvertError for a text that is no number)
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace ormax {

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

char DecimalSeparator();
// Exponent notation is accepted; infinities and NaN are not numbers here.
double ReadReal(const QString& text);
int32_t ReadInteger(const QString& text);

}  // namespace ormax
