#pragma once
// Parts every dialog of the tool shares: the OK and Cancel buttons (OK is
// the default and accepts, Cancel rejects and is never the default, so Enter
// always means OK) and the place on screen (centred).
#include <QString>

class QDialog;
class QPushButton;
class QWidget;

// Sizes the window to its layout and centres it on its screen.
void CentreOnScreen(QWidget* window);

QPushButton* MakeOkButton(QDialog* dialog, const QString& caption);
QPushButton* MakeCancelButton(QDialog* dialog);
