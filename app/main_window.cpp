#include "app/dialog_parts.h"
#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/about_box.h"
#include "app/confirm1_dlg.h"
#include "app/log_memo.h"
#include "platform/message_pump.h"
#include "platform/resources.h"
#include "platform/ticks.h"
#include "window/window_menus.h"
#include "window/window_texts.h"

namespace {

const QString kCaption = QStringLiteral("KV9 ファームウェアアップデート");

// "ＭＳ 明朝" where it exists; the IPA Mincho face on Debian looks the same.
QFont MinchoFont(int pointSize) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho"),
                    QStringLiteral("IPAMincho"), QStringLiteral("IPA明朝"),
                    QStringLiteral("Noto Serif CJK JP")});
  font.setPointSize(pointSize);
  return font;
}

QByteArray ResourceCopy(const char* type, const char* name) {
  const kv9::ResourceBlob blob = kv9::FindResource(type, name);
  return QByteArray(reinterpret_cast<const char*>(blob.data), static_cast<qsizetype>(blob.size));
}

}  // namespace

TRXProgAppForm::ControllerUse::ControllerUse(TRXProgAppForm& form) : form_(form) {
  ++form_.controllerUses_;
}

TRXProgAppForm::ControllerUse::~ControllerUse() {
  if (--form_.controllerUses_ == 0 && form_.releaseRequested_) form_.ReleaseController();
}

TRXProgAppForm::TRXProgAppForm(QWidget* owner) : QMainWindow(owner) {
  // 1. The window, its menus and controls.
  BuildControls();
  BuildMenus();
  // 2. Fine timer resolution for the 10 ms sleeps of every reply wait.
  kv9::RaiseTimerResolution();
  // 3. The engineering menus and the address display stay hidden.
  MnCmd->menuAction()->setVisible(false);
  MnConfig->menuAction()->setVisible(false);
  STAddr->setVisible(false);
  CGauge1->setValue(0);
  // 4. Settings defaults: the members' initialisers.
  ProgSettings = kv9::TProgSettings{};
  // 5. The two sounds, as in-memory copies.
  RingSound = ResourceCopy("WAVE", "Sound_ring5");
  AlarmSound = ResourceCopy("WAVE", "Sound_alarm1");
  // 6. The one link controller.
  flashWrRXCont_ = std::make_unique<kv9::TFlashWrRXCont>(this, SPTMemo, ProgSettings);
  // 7. Its log switches follow the window's.
  flashWrRXCont_->DebugLog = DispDebugInfo;
  flashWrRXCont_->TxLog = DispTxInfo;
  flashWrRXCont_->RxLog = DispRecInfo;
  // 8. The firmware image the tool carries.
  flashWrRXCont_->LoadEmbeddedImage();
  ConnectEepromMenu();
  ConnectUpdateCommand();
  ConnectSettingsMenu();
  ConnectSessionManager();
  RefreshUpdateCommands();  // disabled until the start-up search has ended
}

TRXProgAppForm::~TRXProgAppForm() { ReleaseController(); }

void TRXProgAppForm::BuildControls() {
  setObjectName("RXProgAppForm");
  setWindowTitle(kCaption);

  auto* client = new QWidget(this);
  auto* clientLayout = new QVBoxLayout(client);
  clientLayout->setContentsMargins(0, 0, 0, 0);
  clientLayout->setSpacing(0);
  clientLayout->addWidget(BuildToolPanel(client));
  clientLayout->addWidget(BuildLogPanel(client), 1);

  setCentralWidget(client);
  statusBar()->setObjectName("StatusBar");
  statusBar()->setSizeGripEnabled(false);
  reWriteModeLabel_ = new QLabel(statusBar());
  reWriteModeLabel_->setObjectName("STReWriteMode");
  reWriteModeLabel_->setStyleSheet("color: maroon;");
  reWriteModeLabel_->setVisible(false);
  statusBar()->addPermanentWidget(reWriteModeLabel_);
  resize(499, 307 + menuBar()->sizeHint().height());
}

QWidget* TRXProgAppForm::BuildToolPanel(QWidget* client) {
  Panel3 = new QWidget(client);
  Panel3->setObjectName("Panel3");
  Panel3->setFixedHeight(30);
  auto* topLayout = new QHBoxLayout(Panel3);
  topLayout->setContentsMargins(0, 0, 0, 0);
  Panel2 = new QWidget(Panel3);
  Panel2->setObjectName("Panel2");
  auto* toolLayout = new QHBoxLayout(Panel2);
  toolLayout->setContentsMargins(0, 0, 0, 0);
  ToolBar1 = new QToolBar(Panel2);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setIconSize(QSize(20, 20));
  TB_Write = new QToolButton(ToolBar1);
  TB_Write->setObjectName("TB_Write");
  TB_Write->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  TB_Write->setToolTip(QStringLiteral("ファームアップデート"));
  TB_Write->setStatusTip(QStringLiteral("ファームアップデート"));
  ToolBar1->addWidget(TB_Write);
  ToolBar1->addSeparator();
  toolLayout->addWidget(ToolBar1);
  topLayout->addWidget(Panel2);
  STAddr = new QLabel(Panel3);
  STAddr->setObjectName("STAddr");
  topLayout->addWidget(STAddr);
  topLayout->addStretch(1);
  return Panel3;
}

QWidget* TRXProgAppForm::BuildLogPanel(QWidget* client) {
  Panel1 = new QWidget(client);
  Panel1->setObjectName("Panel1");
  auto* panel1Layout = new QVBoxLayout(Panel1);
  panel1Layout->setContentsMargins(4, 4, 4, 0);
  panel1Layout->setSpacing(4);
  auto* titleRow = new QHBoxLayout;
  STTitle = new QLabel(Panel1);
  STTitle->setObjectName("STTitle");
  STTitle->setFixedSize(177, 28);
  STTitle->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  STTitle->setFont(MinchoFont(18));  // 24 px
  STTitle->setStyleSheet("color: black;");
  titleRow->addWidget(STTitle);
  Panel4 = new QWidget(Panel1);
  Panel4->setObjectName("Panel4");
  auto* gaugeLayout = new QHBoxLayout(Panel4);
  gaugeLayout->setContentsMargins(0, 0, 0, 0);
  CGauge1 = new QProgressBar(Panel4);
  CGauge1->setObjectName("CGauge1");
  CGauge1->setRange(0, 100);
  CGauge1->setStyleSheet(
      "QProgressBar { background: palette(button); border: 1px solid gray; text-align: center; }"
      "QProgressBar::chunk { background: blue; }");
  gaugeLayout->addWidget(CGauge1);
  titleRow->addWidget(Panel4, 1);
  panel1Layout->addLayout(titleRow);
  SPTMemo = new TLogMemo(Panel1);
  SPTMemo->setObjectName("SPTMemo");
  SPTMemo->setFixedHeight(211);
  SPTMemo->setFont(MinchoFont(10));  // 13 px
  SPTMemo->setStyleSheet("QPlainTextEdit { background: palette(button); }");
  panel1Layout->addWidget(SPTMemo);
  return Panel1;
}

QAction* TRXProgAppForm::AddItem(QMenu* menu, const char* objectName, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(objectName);
  return action;
}

void TRXProgAppForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");

  BuildFileMenu(bar);

  BuildCmdMenu(bar);
  BuildConfigMenu(bar);

  MnFarm = bar->addMenu(QStringLiteral("ファーム(&E)"));
  MnFarm->setObjectName("MnFarm");
  N2 = AddItem(MnFarm, "N2", QStringLiteral("アップデート"));
  N2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
  N2->setStatusTip(QStringLiteral("ファームアップデート"));
  MnFwBackup = AddItem(MnFarm, "MnFwBackup", QStringLiteral("書き込み前にファームをバックアップ"));
  MnFwBackup->setCheckable(true);

  Help1 = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
  Help1->setObjectName("Help1");
  Help1->menuAction()->setStatusTip(QStringLiteral("ヘルプトピック"));
  HelpAbout1 = AddItem(Help1, "HelpAboutItem", QStringLiteral("バージョン情報(&A)..."));
  HelpAbout1->setToolTip(QStringLiteral("バージョン情報"));
  HelpAbout1->setStatusTip(QStringLiteral("プログラム情報，バージョン番号，著作権の表示"));
  connect(HelpAbout1, &QAction::triggered, this, &TRXProgAppForm::HelpAbout1Execute);

  BuildPopupMenu();
}

void TRXProgAppForm::BuildConfigMenu(QMenuBar* bar) {
  MnConfig = bar->addMenu(QStringLiteral("設定"));
  MnConfig->setObjectName("MnConfig");
  AddItem(MnConfig, "MnSetConfig", QStringLiteral("環境設定..."));
  AddItem(MnConfig, "MnSetCOMPort", QStringLiteral("COMポートの設定..."));
  MnConfig->addSeparator();
  QMenu* openClose = MnConfig->addMenu(QStringLiteral("Open/Close"));
  openClose->setObjectName("OpenClose1");
  AddItem(openClose, "Open1", QStringLiteral("Open"));
  AddItem(openClose, "Clsoe1", QStringLiteral("Clsoe"));
  AddItem(MnConfig, "Rom1", QStringLiteral("Romバージョン取得"));
  AddItem(MnConfig, "Boot1", QStringLiteral("Bootモードへ"));
  AddItem(MnConfig, "MnInit", QStringLiteral("初期化"));
  AddItem(MnConfig, "MngetInitData", QStringLiteral("工場出荷時設定取得"));
  AddItem(MnConfig, "mnSetFactInit", QStringLiteral("工場出荷時設定"));
  for (const kv9::window::MenuRow& row : kv9::window::EepromBackupRows()) {
    QAction* item = AddItem(MnConfig, row.objectName, QString::fromUtf8(row.caption));
    item->setStatusTip(QString::fromUtf8(row.hint));
    connect(item, &QAction::triggered, this, [this, command = row.command] { EepromBackupClick(command); });
  }
  MnConfig->addSeparator();
  AddItem(MnConfig, "MnGetPower", QStringLiteral("パワー値の取得"));
}

void TRXProgAppForm::BuildPopupMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  MnClear = AddItem(PopupMenu1, "MnClear", QStringLiteral("クリア"));
  MnClear->setShortcut(QKeySequence(Qt::Key_F4));
  PopupMenu1->addSeparator();
  MnProgram = AddItem(PopupMenu1, "MnProgram", QStringLiteral("書込"));
  MnProgram->setShortcut(QKeySequence(Qt::Key_F9));
  // The pop-up's keys work anywhere in the window, as they did in the menu.
  addAction(MnClear);
  addAction(MnProgram);
  connect(MnClear, &QAction::triggered, this, &TRXProgAppForm::MnClearClick);

  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(mapToGlobal(pos)); });
  SPTMemo->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SPTMemo, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(SPTMemo->mapToGlobal(pos)); });
}

void TRXProgAppForm::AppendLog(const std::string& text, int force) {
  kv9::AppendLogLine(SPTMemo, DispDebugInfo != 0, text, force);
}

void TRXProgAppForm::ShowMessage(const std::string& text) {
  runLog_.Message(text);
  // A plain box: no icon, just the text and OK.
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), QString::fromStdString(text),
                  QMessageBox::Ok, this);
  box.exec();
}

void TRXProgAppForm::ShowError(const std::string& text) {
  runLog_.Message(text);
  QMessageBox::critical(this, QApplication::applicationName(), QString::fromStdString(text));
}

void TRXProgAppForm::ShowModuleError(const std::string& text) {
  runLog_.Message(text);
  QMessageBox::critical(this, QApplication::applicationName(), QString::fromStdString(text),
                        QMessageBox::Yes);
}

bool TRXProgAppForm::AskYesNo(const std::string& text) {
  runLog_.Message(text);
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName("QuestionBox");
  box.setDefaultButton(QMessageBox::No);  // another module's data is written only on a deliberate yes
  return box.exec() == QMessageBox::Yes;
}

void TRXProgAppForm::DisableUpdateCommands() {
  guard_.Lock();
  RefreshUpdateCommands();
}

void TRXProgAppForm::CloseMainWindow() {
  // Cancel in the port dialog of a search from the menu keeps the tool.
  if (searchAgain_) {
    portDialogCancelled_ = true;
    return;
  }
  close();
}

void TRXProgAppForm::CopySettingsBack(const kv9::TProgSettings& settings) { ProgSettings = settings; }

void TRXProgAppForm::SetGauge(int percent) {
  CGauge1->setValue(percent);
  if (!updateRunning_) return;
  runWatch_.Gauge(percent);
  // Once a failure's window is kept it shows where the stage stopped.
  if (confirm1Dlg_ && !confirm1Dlg_->isEnabled()) confirm1Dlg_->Gauge->setValue(percent);
}

void TRXProgAppForm::SetAddress(const std::string& text) { STAddr->setText(QString::fromStdString(text)); }

void TRXProgAppForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // After the window is on screen, as the original's OnShow ran.
  QTimer::singleShot(0, this, &TRXProgAppForm::FormShow);
}

void TRXProgAppForm::FormShow() {
  ControllerUse use(*this);
  kv9::ProcessMessages();
  raise();
  activateWindow();
  setWindowTitle(windowTitle() + QStringLiteral(" for KV9X-Q508"));
  // The port dialog and the search for the module.
  const int found = flashWrRXCont_->OpenAtStartup(ProgSettings.WriteSpeedIndex);
  // Cancel in the port dialog closed the window: the controller is released
  // as soon as this stretch ends and must not be used again.
  if (releaseRequested_) return;
  flashWrRXCont_->ConfirmModule(found);
  startupRunning_ = false;
  // The update waits for the search's verdict.
  guard_.SearchEnded(flashWrRXCont_->ModuleSupported == 1);
  RefreshUpdateCommands();
  ShowReWriteMode();
}

void TRXProgAppForm::RefreshUpdateCommands() {
  const bool enabled = guard_.Enabled();
  TB_Write->setEnabled(enabled);
  MnFarm->setEnabled(enabled);
  MnFarm->menuAction()->setEnabled(enabled);
  // "書込" stays with the window: its command says why when there is no module.
  MnProgram->setEnabled(!guard_.Busy());
}

void TRXProgAppForm::closeEvent(QCloseEvent* event) {
  // Closing in the middle of an update or of the search would hide the run
  // while it goes on writing to the module, and its outcome and advice would
  // never be seen: the window stays until the run has ended.
  if (updateRunning_ || searchRunning_) {
    event->ignore();
    statusBar()->showMessage(QString::fromUtf8(updateRunning_ ? kv9::window::kRefusedDuringRun
                                                              : kv9::window::kRefusedDuringSearch),
                             3000);
    return;
  }
  FormCloseQuery();
  event->accept();
}

void TRXProgAppForm::FormCloseQuery() {
  if (controllerUses_ > 0) {
    // Start-up or a command is still inside the controller (this close came
    // from a nested event loop): release it when that stretch has ended.
    releaseRequested_ = true;
  } else {
    ReleaseController();
  }
  RingSound.clear();
  AlarmSound.clear();
}

void TRXProgAppForm::ReleaseController() {
  releaseRequested_ = false;
  flashWrRXCont_.reset();  // closes the port
}

void TRXProgAppForm::FileExit1Execute() { close(); }

void TRXProgAppForm::HelpAbout1Execute() {
  if (!AboutBox) return;
  CentreOnScreen(AboutBox);
  AboutBox->exec();
}

void TRXProgAppForm::MnClearClick() { SPTMemo->Clear(); }
