#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// "マイコンへの書き込み": the small stay-on-top window the update shows
// while it runs, ending with "OK" in blue or "NG" in red.
class TConfirm1Dlg : public QDialog {
 public:
  explicit TConfirm1Dlg(QWidget* owner);
  QLabel* Label1;
  QLabel* Label2;
  QPushButton* OKBtn;
  void SetLabel1Size(int pointSize);
  void SetLabel1Colour(const QColor& colour);

 protected:
  // Disabled while the update runs: a close request from the window manager
  // (Alt+F4) is refused then, so the outcome is seen when the run ends.
  void closeEvent(QCloseEvent* event) override;
};
