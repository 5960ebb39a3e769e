// TComPort against real pseudo-terminals. The test plays the module on the
// master side and checks what actually crossed the line: the exact bytes,
// the bit rate the module side reads back, and what reached OnRxChar
// through the event thread and the hand-over.
#include <fcntl.h>
#include <termios.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <numeric>
#include <string>
#include <vector>

#include "platform/message_pump.h"
#include "serial/com_backend.h"
#include "serial/com_error.h"
#include "serial/com_port.h"
#include "tests/support/pty_port.h"
#include "tests/support/watchdog.h"
#include "wire/termios2_linux.h"
#include "tests/serial/open_error.h"

namespace kv9 {
namespace {

using test::PortFolder;
using test::PtyPort;
using test::PumpUntil;

std::vector<std::uint8_t> AllByteValues() {
  std::vector<std::uint8_t> bytes(256);
  std::iota(bytes.begin(), bytes.end(), 0);
  return bytes;
}

std::string OpenFailure(int err) { return "Unable to open com port (Error: " + std::to_string(err) + ")"; }

// A queue pump that tells the test when the event thread has queued a hand-over.
class SignallingPump : public MessagePump {
 public:
  std::atomic<int> queued{0};

 protected:
  void WakeUiThread() override { queued.fetch_add(1); }
};

// Installs a pump for one test and puts the default back however the test ends.
struct ScopedPump {
  explicit ScopedPump(MessagePump& pump) { SetPump(&pump); }
  ~ScopedPump() { SetPump(nullptr); }
};

// One pty published as COM201 and a port set to it; received bytes are
// collected the way the link controller does: OnRxChar reads exactly the
// count it was told.
class SerialPty : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetPort("COM201");
    port.OnRxChar = [this](TCustomComPort& sender, int count) {
      counts.push_back(count);
      std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::max(count, 0)));
      const int n = sender.Read(buf.data(), count);
      received.insert(received.end(), buf.begin(), buf.begin() + std::max(n, 0));
    };
  }

  // Pumps messages as a reply wait does until `size` bytes were received.
  bool ReceiveUntil(std::size_t size, int timeoutMs = 2000) {
    return PumpUntil([&] { return received.size() >= size; }, [] { WaitMessages(10); }, timeoutMs);
  }
  std::string ReceivedText() const { return std::string(received.begin(), received.end()); }

  // Waits (without pumping) until the driver holds `count` bytes.
  bool InputReaches(int count) {
    return PumpUntil([&] { return port.InputCount() >= count; },
                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
  }

  PortFolder dir;
  PtyPort& pty = dir.AddPty(201);
  std::vector<int> counts;
  std::vector<std::uint8_t> received;
  TComPort port;  // declared last: closed before the pty goes away
};

TEST_F(SerialPty, OpenCloseReopenFiftyTimesAndTalkEachTime) {
  for (int i = 0; i < 50; ++i) {
    ASSERT_NO_THROW(port.Open()) << "opening #" << i;
    ASSERT_TRUE(port.Connected());
    const std::uint8_t out = static_cast<std::uint8_t>(i);
    ASSERT_EQ(port.Write(&out, 1), 1);
    ASSERT_EQ(pty.Receive(1), std::vector<std::uint8_t>{out}) << "opening #" << i;
    pty.Send(std::vector<std::uint8_t>{static_cast<std::uint8_t>(0x80 + i)});
    ASSERT_TRUE(ReceiveUntil(received.size() + 1)) << "opening #" << i;
    EXPECT_EQ(received.back(), 0x80 + i);
    port.Close();
    ASSERT_FALSE(port.Connected());
  }
  EXPECT_EQ(received.size(), 50u);
}

TEST_F(SerialPty, OpenTwiceIsNothingAndCloseTwiceIsNothing) {
  port.Open();
  EXPECT_NO_THROW(port.Open());
  EXPECT_TRUE(port.Connected());
  port.Close();
  EXPECT_NO_THROW(port.Close());
  EXPECT_FALSE(port.Connected());
  EXPECT_THROW(port.Write("x", 1), EComPort);
}

TEST_F(SerialPty, SecondOpenOfAHeldPortFailsWithCodeOne) {
  port.Open();
  dir.Link("COM202", pty.SlavePath());  // the same device under another name

  for (const char* name : {"COM201", "COM202", "com201"}) {
    TComPort other;
    other.SetPort(name);
    const EComPort e = OpenError(other);
    EXPECT_EQ(e.Code, 1) << name;
    EXPECT_EQ(e.WinCode, EWOULDBLOCK) << name;
    EXPECT_EQ(std::string(e.what()), OpenFailure(EWOULDBLOCK)) << name;
    EXPECT_FALSE(other.Connected()) << name;
  }
  // Another program locking the device the usual way is refused as well.
  const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
  ::close(fd);

  // The holder still works, and once it lets go the port is free.
  ASSERT_EQ(port.Write("ok", 2), 2);
  EXPECT_EQ(pty.ReceiveText(2), "ok");
  port.Close();
  TComPort other;
  other.SetPort("COM202");
  EXPECT_NO_THROW(other.Open());
  EXPECT_TRUE(other.Connected());
}

TEST_F(SerialPty, PortHeldByAnotherProgramCannotBeOpened) {
  const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const EComPort e = OpenError(port);
  EXPECT_EQ(e.Code, 1);
  EXPECT_EQ(std::string(e.what()), OpenFailure(EWOULDBLOCK));
  EXPECT_FALSE(port.Connected());
  ::close(fd);
  EXPECT_NO_THROW(port.Open());
}

TEST_F(SerialPty, WriteAndReadOnAClosedPortRaisePortNotOpen) {
  port.Open();
  port.Close();
  std::uint8_t buf[4] = {1, 2, 3, 4};
  try {
    port.Write(buf, 4);
    FAIL() << "Write on a closed port returned";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, 24);
    EXPECT_EQ(e.WinCode, -1);
    EXPECT_STREQ(e.what(), "Port Not Open");
  }
  try {
    port.Read(buf, 4);
    FAIL() << "Read on a closed port returned";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, 24);
    EXPECT_STREQ(e.what(), "Port Not Open");
  }
  EXPECT_TRUE(pty.Receive(1, 50).empty());  // nothing reached the line
}

TEST_F(SerialPty, EveryByteValueCrossesBothWaysUnchanged) {
  port.Open();
  // Raw transfer: CR, LF, XON/XOFF, ^C, ^D, DEL and 0xFF pass untouched.
  const auto all = AllByteValues();
  ASSERT_EQ(port.Write(all.data(), 256), 256);
  EXPECT_EQ(pty.Receive(256), all);
  EXPECT_TRUE(pty.Receive(1, 20).empty());  // no echo, nothing added

  pty.Send(all);
  ASSERT_TRUE(ReceiveUntil(256));
  EXPECT_EQ(received, all);
  EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0), 256);
}

TEST_F(SerialPty, OnRxCharNeverReportsZero) {
  port.Open();
  // Many single bytes: the driver's count can lag its readiness, and a
  // lagging count must not surface as a zero-byte notification.
  for (int i = 0; i < 300; ++i) {
    pty.Send(std::vector<std::uint8_t>{static_cast<std::uint8_t>(i)});
    ASSERT_TRUE(ReceiveUntil(static_cast<std::size_t>(i + 1))) << "byte #" << i;
  }
  ASSERT_EQ(received.size(), 300u);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(received[i], static_cast<std::uint8_t>(i));
  for (int count : counts) EXPECT_GT(count, 0);
}

TEST_F(SerialPty, BytesTakenBeforeTheHandOverRanAreNotReportedAsZero) {
  SignallingPump pump;
  ScopedPump installed(pump);
  TComPort own;  // a port of its own, closed before its pump goes away
  own.SetPort("COM201");
  own.OnRxChar = [this](TCustomComPort&, int count) { counts.push_back(count); };
  own.Open();
  pty.SendText("ab");
  ASSERT_TRUE(PumpUntil([&] { return pump.queued.load() > 0 && own.InputCount() == 2; },
                        [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }));
  // The user-interface thread reads the bytes itself before it gets to the
  // queued notification, which then finds nothing waiting.
  std::uint8_t buf[8] = {};
  ASSERT_EQ(own.Read(buf, sizeof buf), 2);
  ProcessMessages();
  EXPECT_EQ(pump.HandledCount(), 1u);
  EXPECT_TRUE(counts.empty()) << "OnRxChar was called with " << (counts.empty() ? -1 : counts[0]);
  own.Close();
}

TEST_F(SerialPty, BurstArrivesWholeAndInOrderThroughTheHandOver) {
  port.Open();
  std::vector<std::uint8_t> burst(256);
  for (std::size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<std::uint8_t>(i * 7 + 3);
  pty.Send(burst);
  ASSERT_TRUE(ReceiveUntil(256));
  WaitMessages(20);  // nothing more may follow
  EXPECT_EQ(received, burst);
  EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0), 256);
  for (int count : counts) EXPECT_GT(count, 0);
}

TEST_F(SerialPty, NothingIsDeliveredWithoutPumping) {
  port.Open();
  pty.SendText("abc");
  ASSERT_TRUE(InputReaches(3));
  EXPECT_TRUE(received.empty());  // bytes wait in the driver until messages are processed
  ASSERT_TRUE(ReceiveUntil(3));
  EXPECT_EQ(ReceivedText(), "abc");
}

TEST_F(SerialPty, BytesPendingAtCloseAreGoneAfterReopen) {
  port.Open();
  pty.SendText("stale");
  ASSERT_TRUE(InputReaches(5));
  port.Close();
  port.Open();
  EXPECT_EQ(port.InputCount(), 0);
  pty.SendText("fresh");
  ASSERT_TRUE(ReceiveUntil(5));
  WaitMessages(20);
  EXPECT_EQ(ReceivedText(), "fresh");
}

TEST_F(SerialPty, CustomRatesReachTheLine) {
  port.SetBaudRate(brCustom);
  for (std::uint32_t rate : {57600u, 500000u, 12345u, 50u, 4000000u}) {
    port.SetCustomBaudRate(rate);
    port.Open();
    EXPECT_EQ(pty.LineRate(), rate);
    EXPECT_EQ(port.EffectiveBaudRate(), rate);
    // Still a working line at that rate.
    ASSERT_EQ(port.Write("r", 1), 1);
    EXPECT_EQ(pty.ReceiveText(1), "r");
    port.Close();
  }
  // Changed while open: applied at once.
  port.Open();
  port.SetCustomBaudRate(250000);
  EXPECT_EQ(pty.LineRate(), 250000u);
}

TEST_F(SerialPty, CustomRateIsIgnoredWhileATableRateIsSet) {
  port.SetBaudRate(br19200);
  port.Open();
  ASSERT_EQ(pty.LineRate(), 19200u);
  // Move the line away from the tool's setting on the module side, so any
  // settings push by the component would show as a return to 19200.
  posix::RawLine moved;
  moved.rate = 4800;
  ASSERT_EQ(posix::ApplyRawLine(pty.MasterFd(), moved), 0);
  ASSERT_EQ(pty.LineRate(), 4800u);

  port.SetCustomBaudRate(500000);
  EXPECT_EQ(pty.LineRate(), 4800u);  // nothing went to the line
  EXPECT_EQ(port.CustomBaudRate(), 500000u);
  EXPECT_EQ(port.EffectiveBaudRate(), 19200u);

  port.SetBaudRate(brCustom);  // now the stored custom rate takes over
  EXPECT_EQ(pty.LineRate(), 500000u);
}

TEST_F(SerialPty, ChangedBaudRateOnAnOpenPortAppliesAtOnce) {
  port.Open();
  EXPECT_EQ(pty.LineRate(), 9600u);
  port.SetBaudRate(br115200);
  EXPECT_EQ(pty.LineRate(), 115200u);
  port.SetBaudRate(br256000);
  EXPECT_EQ(pty.LineRate(), 256000u);
  port.SetBaudRate(br110);
  EXPECT_EQ(pty.LineRate(), 110u);
  // While closed the value is only stored, and the next opening uses it.
  port.Close();
  port.SetBaudRate(br38400);
  port.Open();
  EXPECT_EQ(pty.LineRate(), 38400u);
  // Other line settings reach the line at once too (a pty forces 8 data bits
  // and no parity itself, so only the stop bits show); the software flow
  // preset never puts XON/XOFF on a line of binary frames.
  port.SetDataBits(dbSeven);
  port.Parity().SetBits(prEven);
  port.SetStopBits(sbTwoStopBits);
  termios t{};
  ASSERT_EQ(::tcgetattr(pty.MasterFd(), &t), 0);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  port.FlowControl().SetFlowControl(fcSoftware);
  ASSERT_EQ(::tcgetattr(pty.MasterFd(), &t), 0);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(pty.LineRate(), 38400u);
}

TEST_F(SerialPty, ModemLineCallsOnAPtyAreNoOps) {
  port.FlowControl().ControlDTR = dtrEnable;
  port.FlowControl().ControlRTS = rtsEnable;
  ASSERT_NO_THROW(port.Open());
  EXPECT_NO_THROW(port.SetDTR(true));
  EXPECT_NO_THROW(port.SetRTS(true));
  EXPECT_NO_THROW(port.SetDTR(false));
  EXPECT_NO_THROW(port.SetRTS(false));
  EXPECT_NO_THROW(port.FlowControl().SetFlowControl(fcHardware));
  EXPECT_TRUE(port.LastErrors().Empty());  // a pty counts no line errors
  ASSERT_EQ(port.Write("ok", 2), 2);
  EXPECT_EQ(pty.ReceiveText(2), "ok");
  // Reception goes on after the error flags were read outside a hand-over.
  pty.SendText("in");
  ASSERT_TRUE(ReceiveUntil(2));
  EXPECT_EQ(ReceivedText(), "in");
}

TEST_F(SerialPty, SetPortWithTheSameNameKeepsThePortAsItIs) {
  port.Open();
  pty.SendText("keep");
  ASSERT_TRUE(InputReaches(4));
  port.SetPort("COM201");  // a reopen would discard the bytes
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.InputCount(), 4);
  ASSERT_TRUE(ReceiveUntil(4));
  EXPECT_EQ(ReceivedText(), "keep");
}

TEST_F(SerialPty, SetPortWithAnotherNameReopensOnTheNewDevice) {
  PtyPort& second = dir.AddPty(203);
  port.Open();
  port.SetPort("COM203");
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.Port(), "COM203");
  ASSERT_EQ(port.Write("to3", 3), 3);
  EXPECT_EQ(second.ReceiveText(3), "to3");
  second.SendText("from3");
  ASSERT_TRUE(ReceiveUntil(5));
  EXPECT_EQ(ReceivedText(), "from3");
  // The first device was let go.
  TComPort other;
  other.SetPort("COM201");
  EXPECT_NO_THROW(other.Open());
}

TEST_F(SerialPty, WithoutEventsThereIsNoNotificationButReadsWork) {
  port.Events = TComEvents{};
  port.Open();
  pty.SendText("quiet");
  ASSERT_TRUE(InputReaches(5));
  WaitMessages(20);
  EXPECT_TRUE(counts.empty());
  std::uint8_t buf[16] = {};
  EXPECT_EQ(port.Read(buf, sizeof buf), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 5), "quiet");
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);  // returns at once when nothing is there
}

TEST_F(SerialPty, WriteStopsAtItsTimeBoundWhenTheLineDoesNotDrain) {
  port.Timeouts.WriteTotalConstant = 100;
  port.Timeouts.WriteTotalMultiplier = 0;
  port.Open();
  // The module side reads nothing, so the pty's queue fills up.
  std::vector<std::uint8_t> big(4 << 20, 0x5A);
  int written = -1;
  test::WithWatchdog(10000, "a bounded Write", [&] { written = port.Write(big.data(), static_cast<int>(big.size())); });
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int>(big.size()));
}

TEST_F(SerialPty, CloseFromInsideOnRxCharEndsCleanly) {
  int calls = 0;
  port.OnRxChar = [&](TCustomComPort& sender, int) {
    ++calls;
    sender.Close();  // the event thread is blocked in this very hand-over
  };
  port.Open();
  pty.SendText("x");
  test::WithWatchdog(5000, "Close inside OnRxChar", [&] {
    ASSERT_TRUE(PumpUntil([&] { return calls > 0; }, [] { WaitMessages(10); }));
  });
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(calls, 1);
  pty.SendText("y");
  WaitMessages(20);
  EXPECT_EQ(calls, 1);
  EXPECT_NO_THROW(port.Open());  // and the device is free again
  EXPECT_EQ(port.InputCount(), 0);
}

TEST_F(SerialPty, CloseWhileTheEventThreadWaitsOnAnUnprocessedHandOver) {
  SignallingPump pump;
  ScopedPump installed(pump);
  TComPort own;  // a port of its own, closed before its pump goes away
  own.SetPort("COM201");
  own.OnRxChar = [this](TCustomComPort&, int count) { counts.push_back(count); };
  own.Open();
  pty.SendText("pending");
  const bool queued = PumpUntil([&] { return pump.queued.load() > 0; },
                                [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
  EXPECT_TRUE(queued);
  test::WithWatchdog(5000, "Close with a hand-over pending", [&] { own.Close(); });
  EXPECT_FALSE(own.Connected());
  // The withdrawn routine never runs, not even when messages are processed later.
  ProcessMessages();
  WaitMessages(20);
  EXPECT_TRUE(counts.empty());
  EXPECT_EQ(pump.HandledCount(), 0u);
}

// Set when the thread that waits on a device ends.
struct ThreadEndSignal {
  std::atomic<bool>* ended = nullptr;
  ~ThreadEndSignal() {
    if (ended) ended->store(true);
  }
};

// The OS device, telling when its event thread has ended and counting the
// waits that saw the device gone: a thread that went on waiting after the
// hang-up would spin on it.
class GoneCountingDevice final : public ComDevice {
 public:
  GoneCountingDevice(std::unique_ptr<ComDevice> real, std::atomic<int>& gone, std::atomic<bool>& ended)
      : real_(std::move(real)), gone_(gone), ended_(ended) {}
  void ApplyBufferSizes(int in, int out) override { real_->ApplyBufferSizes(in, out); }
  void ApplyLine(const ComLineSettings& line) override { real_->ApplyLine(line); }
  void ApplyTimeouts(const TComTimeouts& t) override { real_->ApplyTimeouts(t); }
  int Write(const std::uint8_t* b, int n, std::uint32_t ms) override { return real_->Write(b, n, ms); }
  int Read(std::uint8_t* b, int n) override { return real_->Read(b, n); }
  std::uint64_t BytesRead() const override { return real_->BytesRead(); }
  int InputCount() override { return real_->InputCount(); }
  TComErrors TakeErrors(bool parity) override { return real_->TakeErrors(parity); }
  void SetDTR(bool on) override { real_->SetDTR(on); }
  void SetRTS(bool on) override { real_->SetRTS(on); }
  void ReadModemStatus() override { real_->ReadModemStatus(); }
  void Purge(bool in, bool out) override { real_->Purge(in, out); }
  bool Park() override { return real_->Park(); }
  ComWaitResult WaitEvents() override {
    thread_local ThreadEndSignal signal;
    signal.ended = &ended_;
    const ComWaitResult seen = real_->WaitEvents();
    if (seen.gone) gone_.fetch_add(1);
    return seen;
  }
  void RequestStop() override { real_->RequestStop(); }
  void BackOff(std::uint32_t ms) override { real_->BackOff(ms); }

 private:
  std::unique_ptr<ComDevice> real_;
  std::atomic<int>& gone_;
  std::atomic<bool>& ended_;
};

class GoneCountingPort : public TComPort {
 public:
  std::atomic<int> goneWaits{0};
  std::atomic<bool> threadEnded{false};

 protected:
  std::unique_ptr<ComDevice> OpenDevice(const std::string& name) override {
    return std::make_unique<GoneCountingDevice>(ComDevice::Open(name), goneWaits, threadEnded);
  }
};

TEST_F(SerialPty, UnpluggedDeviceEndsTheEventThreadAndFailsWrites) {
  std::vector<TComErrors> errors;
  GoneCountingPort own;  // closed before the pty goes away
  own.SetPort("COM201");
  own.OnError = [&](TCustomComPort&, TComErrors e) { errors.push_back(e); };
  own.Open();
  pty.Unplug();  // the module goes away

  // The loss is reported once as an I/O line error, and the event thread
  // ends by itself: a thread that went on waiting would spin on the hang-up.
  EXPECT_TRUE(PumpUntil([&] { return own.threadEnded.load(); }, [] { WaitMessages(10); }, 10000))
      << "the event thread kept waiting on the hang-up";
  EXPECT_EQ(own.goneWaits.load(), 1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(ComErrorsToStr(errors[0]), "<ComError:IO>");
  EXPECT_TRUE(counts.empty());

  try {
    own.Write("x", 1);
    FAIL() << "Write to an unplugged device returned";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, 2);
    EXPECT_EQ(e.WinCode, EIO);
    EXPECT_EQ(std::string(e.what()), "WriteFile function failed (Error: " + std::to_string(EIO) + ")");
  }
  EXPECT_TRUE(own.Connected());
  EXPECT_NO_THROW(own.Close());
  EXPECT_FALSE(own.Connected());
  // The device node is gone with its master.
  const EComPort e = OpenError(own);
  EXPECT_EQ(e.Code, 1);
  EXPECT_GT(e.WinCode, 0);
  EXPECT_FALSE(own.Connected());
}

TEST_F(SerialPty, UnplugWithoutPumpingStillClosesCleanly) {
  int errorCalls = 0;
  port.OnError = [&](TCustomComPort&, TComErrors) { ++errorCalls; };
  port.Open();
  pty.Unplug();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  test::WithWatchdog(5000, "Close after unplug", [&] { EXPECT_NO_THROW(port.Close()); });
  EXPECT_FALSE(port.Connected());
  ProcessMessages();  // the withdrawn error report does not surface after closing
  WaitMessages(20);
  EXPECT_EQ(errorCalls, 0);
  EXPECT_TRUE(counts.empty());
}

// Names and devices the port table cannot give a usable port for.
TEST(SerialBadInput, NamesThatAreNotComPortsFailWithCodeOne) {
  PortFolder dir;
  dir.AddPty(201);
  for (const char* name : {"", "COM", "COMx", "COM0", "COM256", "COM0201", "ttyS0", "/dev/ptmx", "201", "COM201 "}) {
    TComPort port;
    port.SetPort(name);
    const EComPort e = OpenError(port);
    EXPECT_EQ(e.Code, 1) << '"' << name << '"';
    EXPECT_EQ(e.WinCode, ENOENT) << '"' << name << '"';
    EXPECT_EQ(std::string(e.what()), OpenFailure(ENOENT)) << '"' << name << '"';
    EXPECT_FALSE(port.Connected()) << '"' << name << '"';
  }
}

TEST(SerialBadInput, MissingAndUnusableDevicesFailWithThePlatformNumber) {
  PortFolder dir;
  dir.Link("COM249", "/nonexistent/kv9/ttyXX");  // a stale link
  dir.Link("COM248", "/dev/null");               // not a serial device
  struct Case {
    const char* name;
    int err;
  };
  for (const Case& c : {Case{"COM250", ENOENT}, Case{"COM249", ENOENT}, Case{"COM248", ENOTTY}}) {
    TComPort port;
    port.SetPort(c.name);
    const EComPort e = OpenError(port);
    EXPECT_EQ(e.Code, 1) << c.name;
    EXPECT_EQ(e.WinCode, c.err) << c.name;
    EXPECT_EQ(std::string(e.what()), OpenFailure(c.err)) << c.name;
    EXPECT_FALSE(port.Connected()) << c.name;
    EXPECT_NO_THROW(port.Close());
  }
}

}  // namespace
}  // namespace kv9
