// The boot-mode command menu of the real main window (offscreen) against
// the simulated module: items are triggered by their object names.
#include <QAction>
#include <QtTest>

#include "app/kv9_application.h"
#include "app/log_memo.h"
#include "app/main_window.h"
#include "link/flash_wr_rx_cont.h"
#include "app/qt_message_pump.h"
#include "tests/support/sim_fixture.h"

namespace {

// A module in a port folder of its own.
class SimPort {
 public:
  explicit SimPort(kv9::sim::StartIn startIn) : sim_(folder_, 5, Options(startIn)) {}
  int Number() const { return 5; }
  kv9::sim::SimModule& Sim() { return *sim_; }

 private:
  static kv9::sim::SimOptions Options(kv9::sim::StartIn startIn) {
    kv9::sim::SimOptions o;
    o.startIn = startIn;
    o.resetDelay = std::chrono::milliseconds(50);
    return o;
  }
  kv9::test::PortFolder folder_;
  kv9::test::TracedSim sim_;
};

void Trigger(TRXProgAppForm& form, const char* item) {
  QAction* action = form.findChild<QAction*>(item);
  QVERIFY2(action, item);
  action->trigger();
}

}  // namespace

class BootCmdMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void commandCheckWithoutBootModePrintsFifteenNgLines() {
    SimPort port(kv9::sim::StartIn::Firmware);
    TRXProgAppForm form;
    form.ProgSettings.PortNumber = port.Number();
    form.SPTMemo->Clear();
    Trigger(form, "MnCmdCheck");
    const QStringList expected = {
        "NG: ビットレート合わせ込み",
        "NG: サポートデバイス問い合わせ ",
        "NG: デバイス選択",
        "NG: クロックモード問い合わせ ",
        "NG: クロックモード選択",
        "NG: 逓倍比問い合わせ",
        "NG: 動作周波数問い合わせ",
        "NG: 新ビットレート選択",
        "NG: ユーザブート領域情報問い合わせ",
        "NG: ユーザ領域情報問い合わせ ユーザ領域の個数",
        "NG: データ領域有無問い合わせ",
        "NG: データ領域情報問い合わせ",
        "NG: 消去ブロック情報問い合わせ",
        "NG: // 書き込みサイズ問い合わせ",
        "NG: 書き込み消去ステータス遷移",
    };
    QCOMPARE(form.SPTMemo->Lines(), expected);
    // The port was opened at 19200 bit/s on the configured number.
    QVERIFY(port.Sim().Snapshot().ratesSeen.count(19200) == 1);
  }

  void handlersLogOkWithDetailsOnlyInDebugDisplay() {
    SimPort port(kv9::sim::StartIn::Boot);
    TRXProgAppForm form;
    form.ProgSettings.PortNumber = port.Number();
    form.SPTMemo->Clear();
    form.DispDebugInfo = 1;
    Trigger(form, "MnBitRate");
    Trigger(form, "MnSupportDevice");
    Trigger(form, "MnEnLockBit");  // not accepted before the command state
    QCOMPARE(form.SPTMemo->Lines(),
             (QStringList{"OK: ビットレート合わせ込み", "OK: サポートデバイス問い合わせ ", "デバイス数: 1", "文字数: 9",
                          "デバイスコード: 8a02", "品名: RX231", "NG: ロックビット有効"}));
    form.SPTMemo->Clear();
    form.DispDebugInfo = 0;
    Trigger(form, "MnBootProgInfo");  // succeeds: nothing shows
    Trigger(form, "MnSelErase");      // fails: its NG line shows
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"NG: 消去選択"});
  }
};

int main(int argc, char** argv) {
  KV9Application app(argc, argv);
  QtMessagePump pump;
  kv9::SetPump(&pump);
  BootCmdMenuTest test;
  const int result = QTest::qExec(&test, argc, argv);
  kv9::SetPump(nullptr);
  return result;
}

#include "boot_cmd_menu_test.moc"
