#include "app/dialog_parts.h"
#include "app/open_com1_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/conf_err_dlg.h"
#include "app/port_list_dlg.h"

namespace {

const QString kCaption = QStringLiteral("シリアルポートのオープン");
const QString kCaptionReWrite = QStringLiteral("シリアルポートのオープン［再書込みモード］");
constexpr int kPortIndexRole = Qt::UserRole;

// A list entry ordered as text, letter case ignored, the way the port table
// orders its names: COM1, COM10, COM2.
class PortItem : public QListWidgetItem {
 public:
  PortItem(const QString& text, int portIndex) : QListWidgetItem(text) {
    setData(kPortIndexRole, portIndex);
  }
  bool operator<(const QListWidgetItem& other) const override {
    const int order = text().compare(other.text(), Qt::CaseInsensitive);
    if (order != 0) return order < 0;
    return data(kPortIndexRole).toInt() < other.data(kPortIndexRole).toInt();
  }
};

}  // namespace

TOpenCom1Dlg::TOpenCom1Dlg(std::int32_t& reWriteMode, QWidget* parent)
    : QDialog(parent), reWriteMode_(reWriteMode) {
  setObjectName("OpenCom1Dlg");
  setWindowTitle(kCaption);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  // In this order, which is also the order the tab key follows.
  CreatePortList();
  CreateSpeedGroup();
  CreateButtons();
  LayOutControls();
  FormCreate();
}

void TOpenCom1Dlg::CreatePortList() {
  Label1 = new QLabel(QStringLiteral("COMポート"), this);
  Label1->setObjectName("Label1");
  STComPort = new QLabel(this);
  STComPort->setObjectName("STComPort");
  STComPort->setAlignment(Qt::AlignCenter);
  STComPort->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  STComPort->setMinimumHeight(STComPort->fontMetrics().height() + 8);

  LBComPort = new QListWidget(this);
  LBComPort->setObjectName("LBComPort");
  LBComPort->setSelectionMode(QAbstractItemView::SingleSelection);
  LBComPort->setSortingEnabled(true);
  LBComPort->setFixedSize(140, 150);
  // Every double click in the list, on an entry or not, with the keys held.
  LBComPort->viewport()->installEventFilter(this);
  connect(LBComPort, &QListWidget::itemSelectionChanged, this, &TOpenCom1Dlg::LBComPortClick);
}

void TOpenCom1Dlg::CreateSpeedGroup() {
  RGComSpeed = new QGroupBox(this);
  RGComSpeed->setObjectName("RGComSpeed");
  RGComSpeedButtons = new QButtonGroup(RGComSpeed);
  auto* speedLayout = new QVBoxLayout(RGComSpeed);
  const QString speeds[] = {QStringLiteral("9600bps"), QStringLiteral("19.2kbps"),
                            QStringLiteral("38.4kbps"), QStringLiteral("115.2kbps")};
  for (int i = 0; i < 4; ++i) {
    auto* button = new QRadioButton(speeds[i], RGComSpeed);
    button->setObjectName(QStringLiteral("RGComSpeed%1").arg(i));
    RGComSpeedButtons->addButton(button, i);
    speedLayout->addWidget(button);
  }
}

void TOpenCom1Dlg::CreateButtons() {
  OKBtn = MakeOkButton(this, QStringLiteral("Open"));
  CancelBtn = MakeCancelButton(this);

  CBAutoCheck = new QCheckBox(QStringLiteral("Auto Check"), this);
  CBAutoCheck->setObjectName("CBAutoCheck");

  Button1 = new QPushButton(QStringLiteral("ポートの確認..."), this);
  Button1->setObjectName("Button1");
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, &TOpenCom1Dlg::Button1Click);
  MnBtErr = new QPushButton(QStringLiteral("再書込み設定..."), this);
  MnBtErr->setObjectName("MnBtErr");
  MnBtErr->setAutoDefault(false);
  connect(MnBtErr, &QPushButton::clicked, this, &TOpenCom1Dlg::MnBtErrClick);

  StaticText1 = new QLabel(QStringLiteral("書込スピード"), this);
  StaticText1->setObjectName("StaticText1");
  CB_WrSpeed = new QComboBox(this);
  CB_WrSpeed->setObjectName("CB_WrSpeed");
}

void TOpenCom1Dlg::LayOutControls() {
  // Left: the port heading, the chosen port and the list. Right: the
  // buttons, the search box and the (normally hidden) write speed.
  auto* left = new QVBoxLayout;
  left->addWidget(Label1);
  left->addWidget(STComPort);
  left->addWidget(LBComPort);
  left->addWidget(RGComSpeed);
  left->addStretch(1);

  auto* right = new QVBoxLayout;
  right->addWidget(OKBtn);
  right->addWidget(CancelBtn);
  right->addSpacing(12);
  right->addWidget(CBAutoCheck);
  right->addSpacing(12);
  right->addWidget(Button1);
  right->addWidget(MnBtErr);
  right->addStretch(1);
  right->addWidget(StaticText1);
  right->addWidget(CB_WrSpeed);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(16);
  layout->addLayout(left);
  layout->addLayout(right);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // fixed dialog border
}

void TOpenCom1Dlg::FormCreate() { RGComSpeed->setVisible(false); }

void TOpenCom1Dlg::SetPorts(const QStringList& ports) {
  LBComPort->clear();
  for (int i = 0; i < ports.size(); ++i) LBComPort->addItem(new PortItem(ports[i], i));
}

int TOpenCom1Dlg::RowOfPort(int index) const {
  for (int row = 0; row < LBComPort->count(); ++row) {
    if (LBComPort->item(row)->data(kPortIndexRole).toInt() == index) return row;
  }
  return -1;
}

int TOpenCom1Dlg::PortIndexOfRow(int row) const {
  const QListWidgetItem* item = LBComPort->item(row);
  return item ? item->data(kPortIndexRole).toInt() : -1;
}

int TOpenCom1Dlg::SelectedRow() const {
  const QList<QListWidgetItem*> selected = LBComPort->selectedItems();
  return selected.isEmpty() ? -1 : LBComPort->row(selected.first());
}

int TOpenCom1Dlg::ComSpeedIndex() const { return RGComSpeedButtons->checkedId(); }

void TOpenCom1Dlg::SetComSpeedIndex(int index) {
  if (QAbstractButton* button = RGComSpeedButtons->button(index)) button->setChecked(true);
}

void TOpenCom1Dlg::LBComPortClick() {
  const int row = SelectedRow();
  if (row >= 0) STComPort->setText(LBComPort->item(row)->text());
}

void TOpenCom1Dlg::LBComPortDblClick(Qt::KeyboardModifiers modifiers) {
  if (!(modifiers & Qt::ControlModifier)) return;
  // "Visible" is the control's own flag, whether or not the dialog is shown.
  const bool show = StaticText1->isHidden();
  StaticText1->setVisible(show);
  CB_WrSpeed->setVisible(show);
}

void TOpenCom1Dlg::MnBtErrClick() {
  TConfErrDlg dlg(this);
  dlg.CBReWrite->setChecked(reWriteMode_ != 0);
  CentreOnScreen(&dlg);
  if (dlg.exec() != QDialog::Accepted) return;
  if (dlg.CBReWrite->isChecked()) {
    reWriteMode_ = 1;
    CBAutoCheck->setChecked(false);
    CBAutoCheck->setEnabled(false);
    setWindowTitle(kCaptionReWrite);
  } else {
    reWriteMode_ = 0;
    CBAutoCheck->setEnabled(true);
    setWindowTitle(kCaption);
  }
}

void TOpenCom1Dlg::Button1Click() { ShowPortListDialog(this); }

bool TOpenCom1Dlg::eventFilter(QObject* watched, QEvent* event) {
  // The type first: LBComPort may be gone while the dialog is destroyed.
  if (event->type() == QEvent::MouseButtonDblClick && watched == LBComPort->viewport()) {
    LBComPortDblClick(static_cast<QMouseEvent*>(event)->modifiers());
  }
  return QDialog::eventFilter(watched, event);
}
