#pragma once
// The OK and Cancel buttons every modal dialog of the tool has: the OK button
// is the default and accepts, the Cancel button rejects and is never the
// default, so Enter always means OK.
#include <QString>

class QDialog;
class QPushButton;

QPushButton* MakeOkButton(QDialog* dialog, const QString& caption);
QPushButton* MakeCancelButton(QDialog* dialog);
