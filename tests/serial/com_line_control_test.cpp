// What the component asks of the device when settings change on an open
// port: a recording device in place of the OS backend shows every call, so a
// DTR or RTS drop on a mere rate change cannot hide (a pty has no modem lines
// to look at). XON/XOFF is checked on a real pty, where it would eat bytes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/message_pump.h"
#include "serial/com_backend.h"
#include "serial/com_port.h"
#include "tests/support/pty_port.h"
#include "tests/support/watchdog.h"
#include "serial/output_drain.h"

namespace kv9 {
namespace {

using Calls = std::vector<std::string>;

class RecordingDevice final : public ComDevice {
 public:
  RecordingDevice(Calls& calls, std::vector<ComLineSettings>& lines)
      : calls_(calls), lines_(lines) {}
  void ApplyBufferSizes(int, int) override {}
  void ApplyLine(const ComLineSettings& line) override {
    calls_.push_back("line " + std::to_string(line.rate));
    lines_.push_back(line);
  }
  void ApplyTimeouts(const TComTimeouts&) override {}
  int Write(const std::uint8_t*, int count, std::uint32_t) override { return count; }
  int Read(std::uint8_t*, int) override { return 0; }
  std::uint64_t BytesRead() const override { return 0; }
  int InputCount() override { return 0; }
  TComErrors TakeErrors(bool) override { return {}; }
  void SetDTR(bool on) override { calls_.push_back(on ? "DTR on" : "DTR off"); }
  void SetRTS(bool on) override { calls_.push_back(on ? "RTS on" : "RTS off"); }
  void ReadModemStatus() override {}
  void Purge(bool, bool) override {}
  bool Park() override {
    calls_.push_back("park");
    return true;
  }
  ComWaitResult WaitEvents() override { return {true, false, {}}; }
  void RequestStop() override {}
  void BackOff(std::uint32_t) override {}

 private:
  Calls& calls_;
  std::vector<ComLineSettings>& lines_;
};

class RecordedPort : public TComPort {
 public:
  Calls calls;
  std::vector<ComLineSettings> lines;
  int devicesOpened = 0;

 protected:
  std::unique_ptr<ComDevice> OpenDevice(const std::string&) override {
    ++devicesOpened;
    calls.push_back("open");
    return std::make_unique<RecordingDevice>(calls, lines);
  }
};

TEST(SerialLineControl, RateAndOtherSettingsLeaveDtrAndRtsAsTheyAre) {
  RecordedPort port;
  port.Events = TComEvents{};
  port.Open();
  // Opening leaves both lines as the system left them: dropping them here
  // and raising them a moment later would be a reset pulse.
  EXPECT_EQ(port.calls, (Calls{"open", "line 9600"}));
  port.SetRTS(true);  // as the link controller does right after opening
  port.SetDTR(true);
  port.calls.clear();

  port.SetBaudRate(br19200);
  port.SetBaudRate(brCustom);
  port.SetCustomBaudRate(2400);
  port.Parity().SetBits(prEven);
  port.SetDataBits(dbSeven);
  port.SetStopBits(sbTwoStopBits);
  port.FlowControl().SetFlowControl(fcNone);  // the preset it already has
  EXPECT_EQ(port.calls, (Calls{"line 19200", "line 9600", "line 2400", "line 2400", "line 2400",
                               "line 2400", "line 2400"}));

  // Control settings do not move the levels either; only a handshake mode
  // reaches the line, through the line settings.
  port.calls.clear();
  port.FlowControl().SetFlowControl(fcHardware);
  port.FlowControl().SetFlowControl(fcNone);
  port.FlowControl().ControlDTR = dtrEnable;
  port.SetBaudRate(br9600);
  EXPECT_EQ(port.calls, (Calls{"line 2400", "line 2400", "line 9600"}));
  ASSERT_EQ(port.lines.size(), 11u);
  EXPECT_EQ(port.lines[8].controlRts, rtsHandshake);
  EXPECT_EQ(port.lines[9].controlRts, rtsDisable);
}

TEST(SerialLineControl, ACloseUnderAHoldKeepsTheDeviceAndReopensItAsAFreshOpening) {
  RecordedPort port;
  port.Events = TComEvents{};
  TComPortHold hold(port);
  port.Open();
  port.Close();
  port.SetBaudRate(br19200);
  port.Open();
  EXPECT_EQ(port.devicesOpened, 1);
  EXPECT_EQ(port.calls, (Calls{"open", "line 9600", "park", "line 19200"}));
}

TEST(SerialLineControl, SoftwareFlowKeepsItsSelectorButAppliesNoXonXoff) {
  RecordedPort port;
  port.Events = TComEvents{};
  port.FlowControl().SetFlowControl(fcSoftware);
  port.Open();
  EXPECT_EQ(port.FlowControl().GetFlowControl(), fcSoftware);
  ASSERT_EQ(port.lines.size(), 1u);
  EXPECT_FALSE(port.lines[0].xonXoffIn);
  EXPECT_FALSE(port.lines[0].xonXoffOut);
  // Hardware flow still reaches the line.
  port.FlowControl().SetFlowControl(fcHardware);
  EXPECT_TRUE(port.lines.back().outCtsFlow);
  EXPECT_EQ(port.lines.back().controlRts, rtsHandshake);
}

TEST(SerialLineControl, XonAndXoffBytesCrossAPtyWithTheSoftwarePreset) {
  test::PortFolder dir;
  test::PtyPort& pty = dir.AddPty(221);
  std::vector<std::uint8_t> received;
  TComPort port;
  port.SetPort("COM221");
  port.OnRxChar = [&](TCustomComPort& sender, int count) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(count));
    const int n = sender.Read(buf.data(), count);
    received.insert(received.end(), buf.begin(), buf.begin() + n);
  };
  port.FlowControl().SetFlowControl(fcSoftware);
  port.Open();
  // A reply holding XOFF then XON: with XON/XOFF on, the line would swallow
  // both, and the XOFF would stop the tool's own output until the XON.
  pty.Send(std::vector<std::uint8_t>{0x02, 0x13, 0x41, 0x11, 0x0D});
  ASSERT_TRUE(test::PumpUntil([&] { return received.size() >= 5; }, [] { WaitMessages(10); }));
  EXPECT_EQ(received, (std::vector<std::uint8_t>{0x02, 0x13, 0x41, 0x11, 0x0D}));
  pty.Send(std::vector<std::uint8_t>{0x13});
  ASSERT_TRUE(test::PumpUntil([&] { return received.size() >= 6; }, [] { WaitMessages(10); }));
  const std::uint8_t frame[] = {0x11, 0x13, 0x55};
  ASSERT_EQ(port.Write(frame, 3), 3);
  EXPECT_EQ(pty.Receive(3), (std::vector<std::uint8_t>{0x11, 0x13, 0x55}));
  port.Close();
}

// A driver scripted on a fake clock: `bytes` leave at `rate` from time 0,
// then the transmitter needs `tailMs` more to shift out its last bytes.
struct ScriptedDriver {
  std::uint64_t now = 0;
  std::vector<std::uint32_t> sleeps;
  int bytes = 0;
  std::uint32_t rate = 2400;
  std::uint64_t tailMs = 0;
  bool tellsQueue = true;
  bool tellsTransmitter = true;
  bool stalled = false;  // flow control holds everything back

  int Queued() const {
    if (!tellsQueue) return -1;
    if (stalled) return bytes;
    const std::uint64_t sent = now * rate / 10000;
    return sent >= static_cast<std::uint64_t>(bytes) ? 0 : bytes - static_cast<int>(sent);
  }
  DriverOutput Output() {
    DriverOutput out;
    out.queued = [this] { return Queued(); };
    out.shifting = [this] {
      if (!tellsTransmitter) return -1;
      const std::uint64_t queueEmpty = static_cast<std::uint64_t>(bytes) * 10000 / rate;
      return (stalled || now < queueEmpty + tailMs) ? 1 : 0;
    };
    out.nowMs = [this] { return now; };
    out.sleepMs = [this](std::uint32_t ms) {
      sleeps.push_back(ms);
      now += ms;
    };
    return out;
  }
};

TEST(SerialWriteDrain, WaitsUntilAFrameHasLeftTheDriverAtTheLineRate) {
  // A 262-byte programming frame at 2400 bit/s: 1091 ms on the line, plus
  // 20 ms for the transmitter's FIFO.
  ScriptedDriver driver;
  driver.bytes = 262;
  driver.tailMs = 20;
  EXPECT_EQ(WaitUntilSent(driver.Output(), 2400, 27200), 0);
  EXPECT_GE(driver.now, 1091u + 20u);
  EXPECT_LE(driver.now, 1091u + 20u + 50u);
  for (std::uint32_t ms : driver.sleeps) {
    EXPECT_GE(ms, 1u);
    EXPECT_LE(ms, 50u);
  }
}

TEST(SerialWriteDrain, AStalledLineEndsAtTheBoundWithWhatIsStillQueued) {
  ScriptedDriver driver;
  driver.bytes = 100;
  driver.stalled = true;
  EXPECT_EQ(WaitUntilSent(driver.Output(), 2400, 1000), 100);
  EXPECT_EQ(driver.now, 1000u);
}

TEST(SerialWriteDrain, ADriverThatCannotTellCostsNoWait) {
  // A pty: its queue reads empty at once and it has no transmitter.
  ScriptedDriver driver;
  driver.bytes = 262;
  driver.tellsQueue = false;
  driver.tellsTransmitter = false;
  EXPECT_EQ(WaitUntilSent(driver.Output(), 2400, 27200), 0);
  EXPECT_TRUE(driver.sleeps.empty());
  // A USB adapter: it reports its queue but not its transmitter.
  ScriptedDriver usb;
  usb.bytes = 262;
  usb.tellsTransmitter = false;
  EXPECT_EQ(WaitUntilSent(usb.Output(), 2400, 27200), 0);
  EXPECT_GE(usb.now, 1091u);
}

}  // namespace
}  // namespace kv9
