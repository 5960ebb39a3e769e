#include "app/dialog_parts.h"
#include "app/config_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/num_edit.h"
#include "boot/cpu_profile.h"
#include "image/image_area.h"

namespace {

constexpr int kSpeedCount = 5;
constexpr int kEditWidth = 110;

TNumEdit* MakeEdit(QWidget* parent, const char* name, int fixedDecimals) {
  auto* edit = new TNumEdit(fixedDecimals, parent);
  edit->setObjectName(name);
  edit->setFixedWidth(kEditWidth);
  return edit;
}

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& entries) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(false);  // a drop-down list: only the listed entries
  box->addItems(entries);
  box->setFixedWidth(kEditWidth);
  return box;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& caption) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

}  // namespace

TConfigDlg::TConfigDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("ConfigDlg");
  setWindowTitle(QStringLiteral("環境設定"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  TabSheet1 = BuildMcuPage();
  TabSheet2 = BuildProgramPage();
  PageControl1->addTab(TabSheet1, QStringLiteral("マイコン設定"));
  PageControl1->addTab(TabSheet2, QStringLiteral("プログラム設定"));

  OKBtn = MakeOkButton(this, QStringLiteral("OK"));
  CancelBtn = MakeCancelButton(this);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // fixed dialog border
  // Centred on the screen rather than over the main window.
  adjustSize();
  CentreOnScreen(this);
}

QWidget* TConfigDlg::BuildMcuPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");

  QStringList romSizes;
  for (const char* name : kv9::kRomSizeNames) romSizes << QString::fromUtf8(name);
  QStringList cpus;
  for (const kv9::CpuProfile& cpu : kv9::CpuProfiles()) cpus << QString::fromUtf8(cpu.name);
  CBSelCPU = MakeList(page, "CBSelCPU", cpus);
  connect(CBSelCPU, &QComboBox::currentIndexChanged, this, &TConfigDlg::CBSelCPUChange);
  CBRomSize = MakeList(page, "CBRomSize", romSizes);
  CBRomSize->setMaxVisibleItems(romSizes.size());
  EdFreq = MakeEdit(page, "EdFreq", 2);
  EdTeibai1 = MakeEdit(page, "EdTeibai1", -1);
  EdTeibai2 = MakeEdit(page, "EdTeibai2", -1);
  EdSpeed = MakeEdit(page, "EdSpeed", -1);
  EdResTime = MakeEdit(page, "EdResTime", -1);

  struct Row {
    const char* label;
    QWidget* control;
    const char* unit;
  };
  const Row rows[] = {
      {"マイコン", CBSelCPU, nullptr},   {"ROMサイズ", CBRomSize, nullptr},
      {"入力周波数", EdFreq, "MHz"},     {"逓倍比１", EdTeibai1, nullptr},
      {"逓倍比２", EdTeibai2, nullptr},  {"通信スピード", EdSpeed, nullptr},
      {"リセット後の待ち時間", EdResTime, nullptr},
  };
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(16, 14, 16, 14);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(8);
  int line = 0;
  for (const Row& row : rows) {
    auto* label = new QLabel(QString::fromUtf8(row.label), page);
    label->setBuddy(row.control);
    grid->addWidget(label, line, 0);
    grid->addWidget(row.control, line, 1);
    if (row.unit) grid->addWidget(new QLabel(QString::fromUtf8(row.unit), page), line, 2);
    ++line;
  }
  grid->setColumnMinimumWidth(2, 40);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(line, 1);
  return page;
}

QWidget* TConfigDlg::BuildProgramPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet2");

  RGProgSpeed = new QGroupBox(QStringLiteral("R/Wスピード"), page);
  RGProgSpeed->setObjectName("RGProgSpeed");
  RGProgSpeedButtons = new QButtonGroup(RGProgSpeed);
  auto* speedGrid = new QGridLayout(RGProgSpeed);
  speedGrid->setHorizontalSpacing(14);
  const QString speeds[kSpeedCount] = {QStringLiteral("9600bps"), QStringLiteral("19.2kbps"),
                                       QStringLiteral("38.4kbps"), QStringLiteral("56.7kbps"),
                                       QStringLiteral("115.2kbps")};
  for (int i = 0; i < kSpeedCount; ++i) {
    auto* button = new QRadioButton(speeds[i], RGProgSpeed);
    button->setObjectName(QStringLiteral("RGProgSpeed%1").arg(i));
    RGProgSpeedButtons->addButton(button, i);
    speedGrid->addWidget(button, i / kSpeedCount, i % kSpeedCount);  // five columns
  }

  GroupBox1 = new QGroupBox(QStringLiteral("デバッグ表示"), page);
  GroupBox1->setObjectName("GroupBox1");
  CBDispDebugInfo = MakeCheck(GroupBox1, "CBDispDebugInfo", QStringLiteral("デバッグ用表示"));
  CBDispTxInfo = MakeCheck(GroupBox1, "CBDispTxInfo", QStringLiteral("送信ログの表示"));
  CBDispRecInfo = MakeCheck(GroupBox1, "CBDispRecInfo", QStringLiteral("受信ログの表示"));
  auto* debugLayout = new QVBoxLayout(GroupBox1);
  debugLayout->addWidget(CBDispDebugInfo);
  debugLayout->addWidget(CBDispTxInfo);
  debugLayout->addWidget(CBDispRecInfo);

  GroupBox2 = new QGroupBox(QStringLiteral("User　Bootモード時"), page);
  GroupBox2->setObjectName("GroupBox2");
  CBInit = MakeCheck(GroupBox2, "CBInit", QStringLiteral("初期化"));
  CBInitScanMode = MakeCheck(GroupBox2, "CBInitScanMode", QStringLiteral("初期化（ScanMode　Q508PC）"));
  auto* initLayout = new QVBoxLayout(GroupBox2);
  initLayout->addWidget(CBInit);
  initLayout->addWidget(CBInitScanMode);
  initLayout->addStretch(1);

  auto* groups = new QHBoxLayout;
  groups->addWidget(GroupBox1, 1);
  groups->addWidget(GroupBox2, 1);

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(RGProgSpeed);
  layout->addLayout(groups);
  layout->addStretch(1);
  return page;
}

int TConfigDlg::ProgSpeedIndex() const { return RGProgSpeedButtons->checkedId(); }

void TConfigDlg::SetProgSpeedIndex(int index) {
  if (QAbstractButton* button = RGProgSpeedButtons->button(index)) {
    button->setChecked(true);
    return;
  }
  // An exclusive group cannot uncheck its last button directly.
  if (QAbstractButton* checked = RGProgSpeedButtons->checkedButton()) {
    RGProgSpeedButtons->setExclusive(false);
    checked->setChecked(false);
    RGProgSpeedButtons->setExclusive(true);
  }
}

void TConfigDlg::CBSelCPUChange() {}
