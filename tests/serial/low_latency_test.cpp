// Low-latency mode: the POSIX backend asks the driver for it on every port
// it opens and puts the earlier flags back at closing. A real pty carries
// the line; a driver of the test's own answers TIOCGSERIAL/TIOCSSERIAL, so
// a device that takes the request and one that refuses it are both checked
// without hardware. The adapter's texts are checked word for word.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/adapter_latency.h"
#include "serial/com_backend_posix.h"
#include "serial/com_port.h"
#include "tests/support/pty_port.h"
#include "tests/support/temp_dir.h"

namespace kv9 {
namespace {

namespace fs = std::filesystem;
using test::PortFolder;
using test::PtyPort;
using test::TempDir;

// A driver's serial flags: what the backend asked, in order.
class FakeDriver : public posix::SerialFlagsIo {
 public:
  int flags = ASYNC_SKIP_TEST | ASYNC_SPD_HI;  // whatever the port had before
  int getError = 0;                            // ENOTTY: a pty
  int setError = 0;                            // EPERM: not permitted
  std::vector<std::string> calls;

  int Get(int, serial_struct& s) override {
    calls.push_back("get");
    if (getError) return getError;
    s = {};
    s.flags = flags;
    return 0;
  }
  int Set(int, const serial_struct& s) override {
    calls.push_back("set " + std::to_string(s.flags));
    if (setError) return setError;
    flags = s.flags;
    return 0;
  }
};

// A port whose device is opened by the real backend with the fake driver
// and a sysfs of the test's own.
class DriverPort : public TComPort {
 public:
  DriverPort(FakeDriver& driver, posix::AdapterSysfs sysfs) : driver_(driver), sysfs_(std::move(sysfs)) {}
 protected:
  std::unique_ptr<ComDevice> OpenDevice(const std::string& name) override {
    return posix::OpenComDevice(name, driver_, sysfs_);
  }

 private:
  FakeDriver& driver_;
  posix::AdapterSysfs sysfs_;
};

class SerialLowLatency : public ::testing::Test {
 protected:
  void SetUp() override {
    // The pty stands as ttyUSB7 of an FTDI adapter whose timer reads 1 ms
    // once low latency is on.
    struct stat st {};
    ASSERT_EQ(::stat(pty.SlavePath().c_str(), &st), 0);
    fs::create_directories(root.Path() / "char");
    fs::create_directories(root.Path() / "devices" / "ttyUSB7");
    fs::create_symlink(root.Path() / "devices" / "ttyUSB7",
                       root.Path() / "char" / (std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev))));
    std::ofstream(root.Path() / "devices" / "ttyUSB7" / "latency_timer") << "1\n";
    port.SetPort(pty.Name());
  }
  posix::AdapterSysfs Sysfs() const {
    return {(root.Path() / "char").string(), (root.Path() / "devices").string()};
  }
  // One byte each way, so the port is shown to carry the line as before.
  void TalkOnce() {
    ASSERT_EQ(port.Write("k", 1), 1);
    EXPECT_EQ(pty.ReceiveText(1), "k");
  }

  TempDir root;
  PortFolder dir;
  PtyPort& pty = dir.AddPty(211);
  FakeDriver driver;
  DriverPort port{driver, Sysfs()};
};

const int kBefore = ASYNC_SKIP_TEST | ASYNC_SPD_HI;
const std::string kSetLow = "set " + std::to_string(kBefore | ASYNC_LOW_LATENCY);
const std::string kSetBack = "set " + std::to_string(kBefore);

TEST_F(SerialLowLatency, RequestedAtOpeningAndTheEarlierFlagsPutBackAtClosing) {
  port.Open();
  EXPECT_EQ(driver.calls, (std::vector<std::string>{"get", kSetLow}));
  EXPECT_EQ(driver.flags, kBefore | ASYNC_LOW_LATENCY);
  EXPECT_TRUE(port.Latency().lowLatency);
  EXPECT_EQ(port.Latency().timerMs, 1);  // the value in force, for the debug log
  TalkOnce();
  port.Close();
  EXPECT_EQ(driver.calls, (std::vector<std::string>{"get", kSetLow, "get", kSetBack}));
  EXPECT_EQ(driver.flags, kBefore);
  EXPECT_EQ(port.Latency().timerMs, -1);  // closed: nothing known

  // Under a hold the device stays the tool's across reopenings: asked once,
  // put back once the hold ends.
  driver.calls.clear();
  {
    TComPortHold hold(port);
    port.Open();
    port.Close();
    port.Open();
    TalkOnce();
    port.Close();
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"get", kSetLow}));
  }
  EXPECT_EQ(driver.calls, (std::vector<std::string>{"get", kSetLow, "get", kSetBack}));
  EXPECT_EQ(driver.flags, kBefore);
}

TEST_F(SerialLowLatency, OnlyTheLowLatencyBitGoesBackAndAPortThatHadItKeepsIt) {
  port.Open();
  driver.flags |= ASYNC_SPD_VHI;  // the driver changed something else meanwhile
  port.Close();
  EXPECT_EQ(driver.flags, kBefore | ASYNC_SPD_VHI);

  driver.flags = kBefore | ASYNC_LOW_LATENCY;  // someone asked before the tool
  driver.calls.clear();
  port.Open();
  EXPECT_TRUE(port.Latency().lowLatency);
  port.Close();
  EXPECT_EQ(driver.calls, std::vector<std::string>{"get"});  // nothing set, nothing taken away
  EXPECT_EQ(driver.flags, kBefore | ASYNC_LOW_LATENCY);

  EXPECT_EQ(posix::LowLatencyFlags(0), ASYNC_LOW_LATENCY);
  EXPECT_EQ(posix::RestoredFlags(ASYNC_LOW_LATENCY | ASYNC_SPD_HI, 0), ASYNC_SPD_HI);
  EXPECT_EQ(posix::RestoredFlags(ASYNC_SPD_HI, ASYNC_LOW_LATENCY), ASYNC_SPD_HI | ASYNC_LOW_LATENCY);
}

TEST_F(SerialLowLatency, ADeviceThatRefusesIsUsedAsBefore) {
  for (int getError : {ENOTTY, 0}) {
    driver = FakeDriver{};
    driver.getError = getError;  // a pty refuses the read
    driver.setError = EPERM;     // a user who may not change the flags
    ASSERT_NO_THROW(port.Open());
    EXPECT_FALSE(port.Latency().lowLatency);
    TalkOnce();
    port.Close();
    // The request is made either way; nothing was changed, so nothing is
    // put back.
    const std::vector<std::string> expected =
        getError ? std::vector<std::string>{"get", "set " + std::to_string(ASYNC_LOW_LATENCY)}
                 : std::vector<std::string>{"get", kSetLow};
    EXPECT_EQ(driver.calls, expected);
    EXPECT_EQ(driver.flags, kBefore);
  }
}

TEST(SerialLowLatencyPty, APtyOpensAsBeforeWithNothingToTell) {
  // The kernel's own answer on a pty: no serial flags, no latency timer, so
  // the log gets no line and the person no advice.
  PtyPort pty(212);
  TComPort port;
  port.SetPort(pty.Name());
  ASSERT_NO_THROW(port.Open());
  const AdapterLatency latency = port.Latency();
  EXPECT_FALSE(latency.lowLatency);
  EXPECT_EQ(latency.timerMs, -1);
  EXPECT_EQ(LatencyDebugLine(port.Port(), latency), "");
  EXPECT_EQ(LatencyAdviceLog(port.Port(), latency), "");
  ASSERT_EQ(port.Write("ok", 2), 2);
  EXPECT_EQ(pty.ReceiveText(2), "ok");
}

TEST(SerialAdapterLatency, TheDelayEstimateAndTheTexts) {
  EXPECT_EQ(UpdateDelayMs(16), 9280u);  // 580 replies
  EXPECT_EQ(UpdateDelayMs(1), 580u);
  EXPECT_EQ(UpdateDelayMs(-1), 0u);
  EXPECT_EQ(UpdateDelayMs(16, 10), 160u);

  EXPECT_EQ(LatencyDebugLine("COM34", {1, true, false}), "COM34 latency timer 1 ms (low-latency mode)");
  EXPECT_EQ(LatencyDebugLine("COM34", {16, false, false}), "COM34 latency timer 16 ms");

  const AdapterLatency slowFtdi{16, false, true};
  EXPECT_EQ(LatencyAdviceLog("COM3", slowFtdi),
            "COM3 : USBシリアル変換器(FTDI)の待ち時間(Latency Timer)が16msです。\n"
            "  このままではアップデートが約9.3秒長くかかります。\n"
            "  デバイスマネージャーでCOM3のプロパティを開き、\n"
            "  [Port Settings]→[Advanced...]の[Latency Timer (msec)]を1にしてください。");
  EXPECT_EQ(LatencyAdviceNote("COM3", slowFtdi),
            "COM3: the FTDI adapter's latency timer is 16 ms, which makes the update about 9.3 s "
            "longer; set it to 1 ms in the device manager (the port's Properties, Port Settings, "
            "Advanced..., Latency Timer (msec))");
  // 2 ms and below cost too little to mention; other adapters cannot be told.
  EXPECT_EQ(LatencyAdviceLog("COM3", {2, false, true}), "");
  EXPECT_NE(LatencyAdviceLog("COM3", {3, false, true}), "");
  EXPECT_EQ(LatencyAdviceLog("COM3", {16, false, false}), "");
  EXPECT_EQ(LatencyAdviceNote("COM3", {2, false, true}), "");
}

}  // namespace
}  // namespace kv9
