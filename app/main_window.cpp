#include "app/dialog_parts.h"
#include "app/main_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstring>
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
#include "window/menu_rows.h"
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

TRXProgAppForm::TRXProgAppForm(QWidget* owner)
    : QMainWindow(owner),
      ProgSettings(model_.Settings().ProgSettings),
      ResetWaitMs(model_.Settings().ResetWaitMs),
      UserBootMode(model_.Settings().UserBootMode),
      DispDebugInfo(model_.Settings().DispDebugInfo),
      DispTxInfo(model_.Settings().DispTxInfo),
      DispRecInfo(model_.Settings().DispRecInfo),
      InitAfterUpdate(model_.Settings().InitAfterUpdate),
      InitScanMode(model_.Settings().InitScanMode),
      FailStage(model_.Settings().FailStage) {
  // 1. The window, its menus and controls; the address display stays hidden.
  BuildControls();
  BuildMenus();
  STAddr->setVisible(false);
  CGauge1->setValue(0);
  setAcceptDrops(true);
  // 2. The two sounds, as in-memory copies.
  RingSound = ResourceCopy("WAVE", "Sound_ring5");
  AlarmSound = ResourceCopy("WAVE", "Sound_alarm1");
  // 3. The controller, the embedded image and the items' first state.
  model_.Start();
  ConnectSessionManager();
}

TRXProgAppForm::~TRXProgAppForm() = default;

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

QMenu* TRXProgAppForm::MenuFor(const kv9::window::MenuItemRow& row) {
  QMenu* menu = menus_[static_cast<std::size_t>(row.menu)];
  if (!row.submenu || !menu) return menu;
  for (const auto& [name, sub] : submenus_) {
    if (std::strcmp(name, row.submenu) == 0) return sub;
  }
  for (const kv9::window::SubmenuRow& sub : kv9::window::SubmenuRows()) {
    if (std::strcmp(sub.objectName, row.submenu) != 0) continue;
    QMenu* made = menu->addMenu(QString::fromUtf8(sub.caption));
    made->setObjectName(sub.objectName);
    submenus_.emplace_back(sub.objectName, made);
    return made;
  }
  return menu;
}

void TRXProgAppForm::BuildMenus() {
  using namespace kv9::window;
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  menus_.assign(static_cast<std::size_t>(MenuId::ToolBar) + 1, nullptr);
  for (const MenuRow& row : MenuRows()) {
    if (row.menu == MenuId::ToolBar) continue;
    QMenu* menu = row.menu == MenuId::Popup ? new QMenu(this) : bar->addMenu(QString::fromUtf8(row.caption));
    menu->setObjectName(row.objectName);
    if (*row.hint) menu->menuAction()->setStatusTip(QString::fromUtf8(row.hint));
    // The engineering menus are built whole but kept off the bar.
    if (row.menu != MenuId::Popup && !row.onMenuBar) menu->menuAction()->setVisible(false);
    menus_[static_cast<std::size_t>(row.menu)] = menu;
  }
  const auto rows = AllItems();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const MenuItemRow& row = rows[i];
    const auto id = static_cast<ItemId>(i);
    QMenu* menu = MenuFor(row);
    if (!menu) {
      items_.push_back(nullptr);  // the tool button
      connect(TB_Write, &QToolButton::clicked, this, [this, id] { model_.Run(id); });
      continue;
    }
    if (row.separatorBefore && !menu->isEmpty()) menu->addSeparator();
    QAction* item = menu->addAction(QString::fromUtf8(row.caption));
    item->setObjectName(row.objectName);
    if (*row.hint) item->setStatusTip(QString::fromUtf8(row.hint));
    if (*row.shortcut) item->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
    item->setCheckable(row.checkable);
    if (row.checkable) {
      // Ticked from the menu or by a caller: the model keeps the setting.
      connect(item, &QAction::toggled, this, [this, id](bool on) {
        if (on != model_.Settings().FirmwareBackup) model_.Run(id);
      });
    } else {
      connect(item, &QAction::triggered, this, [this, id] { model_.Run(id); });
    }
    items_.push_back(item);
  }
  NameItems();
  // The pop-up's keys work anywhere in the window, as they did in the menu.
  addAction(MnClear);
  addAction(MnProgram);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(mapToGlobal(pos)); });
  SPTMemo->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SPTMemo, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(SPTMemo->mapToGlobal(pos)); });
}

void TRXProgAppForm::NameItems() {
  using kv9::window::ItemNamed;
  using kv9::window::MenuId;
  auto item = [this](const char* name) { return items_[static_cast<std::size_t>(ItemNamed(name))]; };
  File1 = menus_[static_cast<std::size_t>(MenuId::File)];
  MnCmd = menus_[static_cast<std::size_t>(MenuId::Cmd)];
  MnConfig = menus_[static_cast<std::size_t>(MenuId::Config)];
  MnFarm = menus_[static_cast<std::size_t>(MenuId::Farm)];
  Help1 = menus_[static_cast<std::size_t>(MenuId::Help)];
  PopupMenu1 = menus_[static_cast<std::size_t>(MenuId::Popup)];
  FileExit1 = item("FileExitItem");
  FileExit1->setToolTip(QStringLiteral("終了"));
  HelpAbout1 = item("HelpAboutItem");
  HelpAbout1->setToolTip(QStringLiteral("バージョン情報"));
  N2 = item("N2");
  MnFwBackup = item("MnFwBackup");
  MnClear = item("MnClear");
  MnProgram = item("MnProgram");
}

kv9::LogPane& TRXProgAppForm::LogLines() { return *SPTMemo; }

void TRXProgAppForm::ShowBox(kv9::window::BoxKind kind, const std::string& text) {
  const QString message = QString::fromStdString(text);
  switch (kind) {
    case kv9::window::BoxKind::Plain: {
      // A plain box: no icon, just the text and OK.
      QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), message, QMessageBox::Ok, this);
      box.exec();
      break;
    }
    case kv9::window::BoxKind::Error:
      QMessageBox::critical(this, QApplication::applicationName(), message);
      break;
    case kv9::window::BoxKind::Module:
      QMessageBox::critical(this, QApplication::applicationName(), message, QMessageBox::Yes);
      break;
  }
}

bool TRXProgAppForm::AskYesNo(const std::string& text) {
  // No is the default: Enter alone must not write another module's data.
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void TRXProgAppForm::ShowStatus(const std::string& text) {
  if (text.empty()) {
    statusBar()->clearMessage();
  } else {
    statusBar()->showMessage(QString::fromStdString(text));
  }
}

void TRXProgAppForm::SetCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void TRXProgAppForm::BringToFront() {
  raise();
  activateWindow();
}

void TRXProgAppForm::SetWindowEnabled(bool enabled) { setEnabled(enabled); }

void TRXProgAppForm::SetItemEnabled(kv9::window::ItemId item, bool enabled) {
  if (item < 0 || item >= static_cast<int>(items_.size())) return;
  if (QAction* action = items_[static_cast<std::size_t>(item)]) {
    action->setEnabled(enabled);
  } else {
    TB_Write->setEnabled(enabled);
  }
}

void TRXProgAppForm::SetMenuEnabled(kv9::window::MenuId menu, bool enabled) {
  QMenu* m = menus_[static_cast<std::size_t>(menu)];
  if (!m) return;
  m->setEnabled(enabled);
  m->menuAction()->setEnabled(enabled);
}

void TRXProgAppForm::SetItemChecked(kv9::window::ItemId item, bool checked) {
  if (item >= 0 && item < static_cast<int>(items_.size()) && items_[static_cast<std::size_t>(item)])
    items_[static_cast<std::size_t>(item)]->setChecked(checked);
}

void TRXProgAppForm::ShowReWriteMode(bool on) {
  reWriteModeLabel_->setText(on ? QString::fromUtf8(kv9::window::kReWriteModeShown) : QString());
  reWriteModeLabel_->setVisible(on);
}

void TRXProgAppForm::SetStageTitle(const std::string& text) { STTitle->setText(QString::fromStdString(text)); }

void TRXProgAppForm::SetGauge(int percent) {
  CGauge1->setValue(percent);
  // Once a failure's window is kept it shows where the stage stopped.
  if (confirm1Dlg_ && !confirm1Dlg_->isEnabled()) confirm1Dlg_->Gauge->setValue(percent);
}

void TRXProgAppForm::SetAddress(const std::string& text) { STAddr->setText(QString::fromStdString(text)); }

void TRXProgAppForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // After the window is on screen, as the original's OnShow ran.
  QTimer::singleShot(0, this, [this] { model_.Shown(); });
}

void TRXProgAppForm::closeEvent(QCloseEvent* event) {
  if (!model_.CloseAsked()) {
    event->ignore();
    return;
  }
  RingSound.clear();
  AlarmSound.clear();
  event->accept();
}

void TRXProgAppForm::CloseWindow() {
  close();
  // Ending on request: every running event loop ends, also that of a
  // dialog left open.
  if (model_.QuitAsked()) QCoreApplication::quit();
}

void TRXProgAppForm::ShowAbout() {
  if (!AboutBox) return;
  CentreOnScreen(AboutBox);
  AboutBox->exec();
}
