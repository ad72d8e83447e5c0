// LocaleNumbers: numbers read from the dialogs' edits with the locale's separator;
// what cannot be read raises EConvertError with the program's message.
//   DecimalSeparator, ReadReal, ReadInteger
#include "shell/LocaleNumbers.h"

#include <QLocale>
#include <cmath>

namespace ormax {

char DecimalSeparator() {
  const QString point = QLocale().decimalPoint();
  return point.size() == 1 && point[0].unicode() < 128 ? static_cast<char>(point[0].unicode())
                                                       : '.';
}

double ReadReal(const QString& text) {
  QLocale locale;
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  const double value = locale.toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(value))
    throw EConvertError("'" + text.toStdString() + "' is not a valid floating point value");
  return value;
}

int32_t ReadInteger(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok) throw EConvertError("'" + text.toStdString() + "' is not a valid integer value");
  return static_cast<int32_t>(value);
}

}  // namespace ormax
