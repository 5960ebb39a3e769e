#pragma once
// TPortSetDlg, "COMポートの設定": pick another serial port from the machine's
// port names. The dialog only collects the choice; MnSetCOMPortClick binds
// the list to the controller's port and opens the chosen one on "設定".
#include <QDialog>

class QPushButton;
class TComComboBox;

class TPortSetDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TPortSetDlg(QWidget* parent = nullptr);

  TComComboBox* ComComboBox1;
  QPushButton* BTCheckPort;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 public slots:
  // Lists the ports with their devices (the device manager's stand-in);
  // this dialog stays open.
  void BTCheckPortClick();
};
