#pragma once
// TNumEdit: the settings dialog's numeric edit with up/down buttons. It sets
// no practical minimum or maximum: any number of the 32-bit integer range can
// be entered and is handed on as entered; the settings decide what to keep.
#include <QDoubleSpinBox>

class TNumEdit : public QDoubleSpinBox {
  Q_OBJECT
 public:
  // fixedDecimals >= 0: always shows that many decimals (13.56). Otherwise
  // the number is shown as entered, without trailing zeros (4, 12.9), with
  // up to kFreeDecimals decimals.
  explicit TNumEdit(int fixedDecimals, QWidget* parent = nullptr);

  static constexpr int kFreeDecimals = 6;

 protected:
  QString textFromValue(double value) const override;

 private:
  bool fixed_;
};
