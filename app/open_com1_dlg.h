#pragma once
// TOpenCom1Dlg, the port-open dialog of discovery: the list of
// serial ports, "Open" / "キャンセル", the "Auto Check" box, the port listing
// ("ポートの確認...") and the re-write settings ("再書込み設定...").
// TRXProgAppForm::RunPortOpenDialog fills it from the controller's request
// and reads the person's choice back.
#include <QDialog>
#include <QStringList>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

class TOpenCom1Dlg : public QDialog {
  Q_OBJECT
 public:
  // `reWriteMode` is the controller's ReWriteMode; MnBtErrClick switches it.
  explicit TOpenCom1Dlg(std::int32_t& reWriteMode, QWidget* parent = nullptr);

  // Fills LBComPort. The list keeps itself sorted alphabetically as text
  // (COM10 before COM2); each entry remembers its index in `ports`.
  void SetPorts(const QStringList& ports);
  // The row of LBComPort showing ports[index] (as given to SetPorts); -1 if none.
  int RowOfPort(int index) const;
  // The index in SetPorts' list of the entry at `row`; -1 if none.
  int PortIndexOfRow(int row) const;
  // The selected row of LBComPort, -1 when none is selected.
  int SelectedRow() const;

  // The checked button of RGComSpeed (0 "9600bps" .. 3 "115.2kbps"), -1 if none.
  int ComSpeedIndex() const;
  void SetComSpeedIndex(int index);

  QLabel* Label1;
  QLabel* STComPort;
  QListWidget* LBComPort;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QGroupBox* RGComSpeed;
  QButtonGroup* RGComSpeedButtons;  // the radio buttons of RGComSpeed, ids 0..3
  QCheckBox* CBAutoCheck;
  QPushButton* Button1;
  QPushButton* MnBtErr;
  QLabel* StaticText1;
  QComboBox* CB_WrSpeed;

 public slots:
  void LBComPortClick();
  // `modifiers`: the keys held down during the double click.
  void LBComPortDblClick(Qt::KeyboardModifiers modifiers);
  void MnBtErrClick();
  void Button1Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The steps of construction: the port heading, chosen port and list; the
  // hidden re-write speed group; the buttons, the search box and the write
  // speed; the layout of them all.
  void CreatePortList();
  void CreateSpeedGroup();
  void CreateButtons();
  void LayOutControls();
  void FormCreate();

  std::int32_t& reWriteMode_;
};
