#include <gtest/gtest.h>

#include "link/flash_wr_rx_cont.h"
#include "platform/ticks.h"
#include "tests/support/pty_port.h"
#include "tests/support/recorders.h"

namespace kv9 {
namespace {

TEST(ControllerConstruction, DefaultsAndPortZeroBecomesCom1) {
  TProgSettings settings;
  settings.PortNumber = 0;
  settings.BitRate = 38400;
  settings.ParityCode = 2;
  settings.FlowMode = 1;
  TFlashWrRXCont cont(nullptr, nullptr, settings);
  EXPECT_EQ(cont.Settings.PortNumber, 1);
  EXPECT_EQ(cont.CommX1.Port(), "COM1");
  EXPECT_EQ(cont.CommX1.BaudRate(), br38400);
  EXPECT_EQ(cont.CommX1.Parity().Bits(), prEven);
  EXPECT_EQ(cont.CommX1.FlowControl().GetFlowControl(), fcHardware);
  EXPECT_FALSE(cont.CommX1.Connected());
  EXPECT_EQ(cont.ModuleSupported, 0);
  EXPECT_EQ(cont.ReWriteMode, 0);
  EXPECT_EQ(cont.DebugLog, 0);
  EXPECT_EQ(cont.TxLog, 1);
  EXPECT_EQ(cont.RxLog, 1);
  EXPECT_EQ(cont.ImageLoaded, 0);
}

TEST(ControllerConstruction, UnknownRateTextFallsBackTo9600AndNoFlowByDefault) {
  TProgSettings settings;
  settings.BitRate = 56700;
  settings.FlowMode = 7;
  TFlashWrRXCont cont(nullptr, nullptr, settings);
  EXPECT_EQ(cont.CommX1.BaudRate(), br9600);
  EXPECT_EQ(cont.CommX1.FlowControl().GetFlowControl(), fcNone);
}

TEST(ControllerPort, SendOnClosedPortReturnsZeroLogsNothingButFlushes) {
  test::RecordingLogPane pane;
  TFlashWrRXCont cont(nullptr, &pane, TProgSettings{});
  const std::uint8_t unread[6] = {9, 9, 9, 9, 9, 9};
  cont.StoreReceived(unread, 6);  // before the debug switch: no trace line
  cont.DebugLog = 1;
  const std::uint8_t frame[] = {1, 2, 3};
  EXPECT_EQ(cont.SendBytes(frame, 3, 0), 0);
  EXPECT_EQ(cont.RxCount(), 6);
  EXPECT_EQ(cont.SendBytes(frame, 3, 1), 0);
  EXPECT_EQ(cont.RxCount(), 0);
  EXPECT_TRUE(pane.lines.empty());
}

TEST(ControllerPort, MissingPortShowsTheMessageNamingItAndEmptiesTheRing) {
  test::PtyPort pty(3);  // KV9_PORT_DIR holds COM3 only
  test::RecordingUi ui;
  TFlashWrRXCont cont(&ui, nullptr, TProgSettings{});
  const std::uint8_t unread[12] = {};
  cont.StoreReceived(unread, 12);
  EXPECT_EQ(cont.OpenPort(200), 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            "COM200がオープン出来ません!!\n\n  ポートを及びパラメータ設定を再確認してください。");
  EXPECT_EQ(cont.RxCount(), 0);
  EXPECT_FALSE(cont.CommX1.Connected());
}

TEST(ControllerPort, OpenReopenAndCloseAtTheConfiguredRate) {
  test::PtyPort pty(4);
  test::RecordingUi ui;
  TProgSettings settings;
  settings.BitRate = 38400;
  TFlashWrRXCont cont(&ui, nullptr, settings);
  ASSERT_EQ(cont.OpenPort(4), 1);
  EXPECT_EQ(cont.CommX1.Port(), "COM4");
  EXPECT_EQ(pty.SlaveRate(), 38400u);
  ASSERT_EQ(cont.OpenPort(4), 1);  // an open port is closed and opened again
  cont.ClosePort();
  EXPECT_FALSE(cont.CommX1.Connected());
  cont.ClosePort();  // closing a closed port is harmless
  EXPECT_TRUE(ui.messages.empty());
}

TEST(ControllerPort, SecondControllerCannotOpenAPortInUse) {
  test::PtyPort pty(5);
  test::RecordingUi ui;
  TFlashWrRXCont first(&ui, nullptr, TProgSettings{});
  TFlashWrRXCont second(&ui, nullptr, TProgSettings{});
  ASSERT_EQ(first.OpenPort(5), 1);
  EXPECT_EQ(second.OpenPort(5), 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].rfind("COM5がオープン出来ません!!", 0), 0u);
}

class WaitTimerTest : public ::testing::Test {
 protected:
  void TearDown() override { SetTickSourceForTest({}); }
  std::uint32_t now_ = 0;
};

TEST_F(WaitTimerTest, ExpiresAtExactlyTheGivenMillisecondsAcrossAWrap) {
  SetTickSourceForTest([this] { return now_; });
  TFlashWrRXCont cont(nullptr, nullptr, TProgSettings{});
  for (std::uint32_t start : {0u, 0xFFFFFE00u, 0xFFFFFFFFu}) {
    now_ = start;
    cont.StartWaitTimer();
    now_ = start + 999;  // wraps for the last two starts
    EXPECT_EQ(cont.WaitTimerExpired(1000), 0) << start;
    now_ = start + 1000;
    EXPECT_EQ(cont.WaitTimerExpired(1000), 1) << start;
  }
}

TEST_F(WaitTimerTest, OneTimerForTheWholeProgram) {
  SetTickSourceForTest([this] { return now_; });
  TFlashWrRXCont a(nullptr, nullptr, TProgSettings{});
  TFlashWrRXCont b(nullptr, nullptr, TProgSettings{});
  now_ = 100;
  a.StartWaitTimer();
  now_ = 600;
  b.StartWaitTimer();  // a wait started inside another restarts its start tick
  now_ = 1100;
  EXPECT_EQ(a.WaitTimerExpired(1000), 0);
}

}  // namespace
}  // namespace kv9
