#pragma once
#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

// "マイコンへの書き込み": the small stay-on-top window the update shows
// while it runs, with the stage's percentage, ending with "OK" in blue or
// "NG" in red. After a failure it stays with the advice until "確認".
class TConfirm1Dlg : public QDialog {
 public:
  explicit TConfirm1Dlg(QWidget* owner);
  QLabel* Label1;
  QLabel* Label2;
  QProgressBar* Gauge;
  // The advice after a failure; hidden until then.
  QLabel* Advice;
  QPushButton* OKBtn;
  void SetLabel1Size(int pointSize);
  void SetLabel1Colour(const QColor& colour);
  void ShowAdvice(const QStringList& lines);
  // Called when a close or a minimise is refused during the run, so the
  // person is told why.
  std::function<void()> refused;

 protected:
  // Disabled while the update runs: a close request from the window manager
  // (Alt+F4, the close box) is refused then, so the outcome is seen when
  // the run ends.
  void closeEvent(QCloseEvent* event) override;
  // Minimised, the window would take the whole program with it (it belongs
  // to the main window); during the run it comes straight back.
  void changeEvent(QEvent* event) override;
};
