#pragma once
// TConfErrDlg, "書き込みエラー時の設定": switches the re-write mode on or off.
// Shown modally by the port-open dialog's "再書込み設定..." button
// (TOpenCom1Dlg::MnBtErrClick), which reads CBReWrite on OK.
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

class TConfErrDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TConfErrDlg(QWidget* parent = nullptr);

  // The advice text, one entry per line of Memo1.
  static QStringList MemoLines();

  QCheckBox* CBReWrite;
  QPlainTextEdit* Memo1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
};
