#include "app/num_edit.h"

#include <QLocale>
#include <cstdint>
#include <limits>

TNumEdit::TNumEdit(int fixedDecimals, QWidget* parent)
    : QDoubleSpinBox(parent), fixed_(fixedDecimals >= 0) {
  // A decimal point and no group separators whatever the desktop's locale:
  // "115200" and "13.56" read back exactly as typed.
  QLocale c = QLocale::c();
  c.setNumberOptions(QLocale::OmitGroupSeparator);
  setLocale(c);
  setDecimals(fixed_ ? fixedDecimals : kFreeDecimals);
  constexpr double kLimit = std::numeric_limits<std::int32_t>::max();
  setRange(-kLimit, kLimit);
  setSingleStep(1.0);
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QString TNumEdit::textFromValue(double value) const {
  QString text = locale().toString(value, 'f', decimals());
  if (fixed_ || !text.contains(QLatin1Char('.'))) return text;
  while (text.endsWith(QLatin1Char('0'))) text.chop(1);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text;
}
