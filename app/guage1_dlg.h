#pragma once
// TGuage1Dlg, the wait window of the port search: a centred text line and a
// progress bar with a Cancel button. The search (TRXProgAppForm::
// ShowSearchProgress) hides the bar, its panel and the button, so the window
// only shows the line; nothing observes the button. Non-modal; the person
// cannot close it (no close box, Esc does nothing): its user closes it.
#include <QDialog>

class QCloseEvent;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

class TGuage1Dlg : public QDialog {
  Q_OBJECT
 public:
  explicit TGuage1Dlg(QWidget* parent = nullptr);

  QLabel* Label1;
  QFrame* Panel2;
  QProgressBar* ProgressBar1;
  QPushButton* Button1;

  // Esc would end a dialog; this one ends only when its user closes it.
  void reject() override {}

 protected:
  // The window manager's close request (Alt+F4) is refused; close() from
  // the program is not.
  void closeEvent(QCloseEvent* event) override;
};
