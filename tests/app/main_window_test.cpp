// The main window built for real on the offscreen platform.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QDialog>
#include <QScrollBar>
#include <QtTest>

#include "app/about_box.h"
#include "app/kv9_application.h"
#include "app/log_memo.h"
#include "app/main_window.h"
#include "link/flash_wr_rx_cont.h"
#include "app/qt_message_pump.h"
#include "serial/com_error.h"

// Start-up shows the port dialog; these tests answer it with Cancel, which
// closes the window as it would for a person.
class CancelStartupDialog : public QObject {
 public:
  CancelStartupDialog() {
    connect(&timer_, &QTimer::timeout, this, [] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    timer_.start(20);
  }

 private:
  QTimer timer_;
};

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void captionAfterShowHasTheModelSuffix() {
    TRXProgAppForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("KV9 ファームウェアアップデート"));
    CancelStartupDialog cancel;
    form.show();
    QTRY_COMPARE(form.windowTitle(), QStringLiteral("KV9 ファームウェアアップデート for KV9X-Q508"));
  }

  void engineeringMenusAndAddressAreHidden() {
    TRXProgAppForm form;
    CancelStartupDialog cancel;
    form.show();
    auto* cmd = form.findChild<QMenu*>("MnCmd");
    auto* config = form.findChild<QMenu*>("MnConfig");
    QVERIFY(cmd && config);
    QVERIFY(!cmd->menuAction()->isVisible());
    QVERIFY(!config->menuAction()->isVisible());
    QVERIFY(!form.findChild<QLabel*>("STAddr")->isVisible());
    QVERIFY(form.findChild<QMenu*>("MnFarm")->menuAction()->isVisible());
    QCOMPARE(form.findChild<QProgressBar*>("CGauge1")->value(), 0);
    // Nothing under the hidden menus carries a keyboard shortcut.
    for (QMenu* menu : {cmd, config}) {
      for (QAction* a : menu->findChildren<QAction*>()) QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
    }
  }

  void menuItemsCarryTheirNamesCaptionsAndKeys() {
    TRXProgAppForm form;
    auto item = [&](const char* name) { return form.findChild<QAction*>(name); };
    QCOMPARE(item("N2")->text(), QStringLiteral("アップデート"));
    QCOMPARE(item("N2")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_U));
    QCOMPARE(item("MnClear")->text(), QStringLiteral("クリア"));
    QCOMPARE(item("MnClear")->shortcut(), QKeySequence(Qt::Key_F4));
    QCOMPARE(item("MnProgram")->text(), QStringLiteral("書込"));
    QCOMPARE(item("MnProgram")->shortcut(), QKeySequence(Qt::Key_F9));
    QCOMPARE(item("FileExitItem")->text(), QStringLiteral("終了(&X)"));
    QCOMPARE(item("HelpAboutItem")->text(), QStringLiteral("バージョン情報(&A)..."));
    QCOMPARE(item("MnCmdCheck")->text(), QStringLiteral("コマンドチェック"));
    QCOMPARE(item("MnRX210_IDCheck")->text(), QStringLiteral("ID コードチェック"));
    QCOMPARE(item("mnSetFactInit")->text(), QStringLiteral("工場出荷時設定"));
    QCOMPARE(item("Clsoe1")->text(), QStringLiteral("Clsoe"));
    QCOMPARE(form.findChild<QToolButton*>("TB_Write")->toolTip(), QStringLiteral("ファームアップデート"));
    const QStringList top = [&] {
      QStringList t;
      for (QAction* a : form.menuBar()->actions()) t << a->text();
      return t;
    }();
    QCOMPARE(top, (QStringList{"ファイル(&F)", "コマンド", "設定", "ファーム(&E)", "ヘルプ(&H)"}));
  }

  void logPaneHidesTraceLinesUntilDebugDisplayIsOn() {
    TRXProgAppForm form;
    form.AppendLog("trace", 0);
    form.Model().Controller()->AddLog("controller trace", 0);
    form.AppendLog("result : OK", 1);
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"result : OK"});
    form.DispDebugInfo = 1;
    form.AppendLog("trace", 0);
    QCOMPARE(form.SPTMemo->Lines(), (QStringList{"result : OK", "trace"}));
  }

  void paneWrapsAndFollowsTheNewestLineAfterALongOne() {
    TLogMemo memo;
    memo.resize(300, 120);
    memo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&memo));
    QScrollBar* bar = memo.verticalScrollBar();
    memo.AppendLine(std::string(400, 'x'));  // wraps over several rows
    for (int i = 0; i < 40; ++i) {
      memo.AppendLine("line " + std::to_string(i));
      QCOMPARE(bar->value(), bar->maximum());
    }
    QVERIFY(bar->maximum() > 0);
    QVERIFY(!memo.horizontalScrollBar()->isVisible());
  }

  void paneIsClearedWhenTheThousandAndFirstLineComes() {
    TRXProgAppForm form;
    for (int i = 1; i <= 1000; ++i) form.AppendLog("line " + std::to_string(i), 1);
    QCOMPARE(form.SPTMemo->LineCount(), 1000);
    QCOMPARE(form.SPTMemo->Lines().last(), QStringLiteral("line 1000"));
    form.Model().Controller()->AddLog("line 1001", 1);
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"line 1001"});
    form.findChild<QAction*>("MnClear")->trigger();
    QCOMPARE(form.SPTMemo->LineCount(), 0);
    QVERIFY(form.SPTMemo->toPlainText().isEmpty());
  }

  void controllerIsMadeWithTheWindowsSwitchesAndTheEmbeddedImage() {
    TRXProgAppForm form;
    kv9::TFlashWrRXCont* cont = form.Model().Controller();
    QVERIFY(cont);
    QCOMPARE(cont->DebugLog, 0);
    QCOMPARE(cont->TxLog, 0);  // the window's switches overwrite the construction defaults
    QCOMPARE(cont->RxLog, 0);
    QCOMPARE(cont->ImageLoaded, std::uint8_t{1});
    QCOMPARE(cont->ImageStream.Size(), std::size_t{262144});
    QCOMPARE(cont->Settings.BitRate, 19200);
    QVERIFY(form.RingSound.startsWith("RIFF"));
    QVERIFY(form.AlarmSound.startsWith("RIFF"));
  }

  void closingReleasesTheControllerAndSounds() {
    TRXProgAppForm form;
    CancelStartupDialog cancel;
    form.show();
    QTRY_VERIFY(!form.isVisible());  // Cancel in the start-up port dialog closed it
    QVERIFY(form.close());
    QVERIFY(form.Model().Controller() == nullptr);
    QVERIFY(form.RingSound.isEmpty());
  }

  void aboutBoxShowsTheProductVersion() {
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(box.Version->text(), QStringLiteral("KV9Update   Version 1.0.8.4"));
    QCOMPARE(box.ProductName->text(), QStringLiteral("KV9ファームウェアアップデートツール"));
  }

  void exceptionFromAnEventHandlerShowsAnErrorBoxAndTheToolGoesOn() {
    QStringList boxes;
    KV9Application::SetErrorBoxHook([&](const QString& m) { boxes << m; });
    QTimer::singleShot(0, [] { throw kv9::MakeComError(kv9::CError_PortNotOpen); });
    QTimer::singleShot(0, [] { throw std::invalid_argument("'COMx' is not a valid integer value"); });
    QTRY_COMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0], QStringLiteral("Port Not Open"));
    QCOMPARE(boxes[1], QStringLiteral("'COMx' is not a valid integer value"));
    KV9Application::SetErrorBoxHook({});
  }
};

int main(int argc, char** argv) {
  KV9Application app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QtMessagePump pump;
  kv9::SetPump(&pump);
  MainWindowTest test;
  const int result = QTest::qExec(&test, argc, argv);
  kv9::SetPump(nullptr);
  return result;
}

#include "main_window_test.moc"
