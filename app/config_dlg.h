#pragma once
// TConfigDlg, "環境設定": edits the program settings record and the main
// window's own settings on two pages, "マイコン設定" (microcontroller, ROM
// size, clock, boot-mode bit rate, reset wait) and "プログラム設定" (R/W speed,
// log displays, what follows an update). The dialog only shows and collects
// values; MnSetConfigClick fills it and copies the values back on OK.
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QTabWidget;
class TNumEdit;

class TConfigDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TConfigDlg(QWidget* parent = nullptr);

  // The checked button of RGProgSpeed (0 "9600bps" .. 4 "115.2kbps"), -1 if
  // none; an index outside 0..4 checks none.
  int ProgSpeedIndex() const;
  void SetProgSpeedIndex(int index);

  QTabWidget* PageControl1;
  QWidget* TabSheet1;  // "マイコン設定"
  QWidget* TabSheet2;  // "プログラム設定"
  QComboBox* CBSelCPU;
  QComboBox* CBRomSize;
  TNumEdit* EdFreq;
  TNumEdit* EdTeibai1;
  TNumEdit* EdTeibai2;
  TNumEdit* EdSpeed;
  TNumEdit* EdResTime;
  QGroupBox* RGProgSpeed;
  QButtonGroup* RGProgSpeedButtons;  // the radio buttons of RGProgSpeed, ids 0..4
  QGroupBox* GroupBox1;  // "デバッグ表示"
  QCheckBox* CBDispDebugInfo;
  QCheckBox* CBDispTxInfo;
  QCheckBox* CBDispRecInfo;
  QGroupBox* GroupBox2;  // "User　Bootモード時"
  QCheckBox* CBInit;
  QCheckBox* CBInitScanMode;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 public slots:
  // A new microcontroller takes effect only with OK; nothing to do here.
  void CBSelCPUChange();

 private:
  QWidget* BuildMcuPage();
  QWidget* BuildProgramPage();
};
