// The port table: which device each "COM<n>" name stands for. Automatic
// entries are checked against fake /dev and /sys/class/tty folders, so the
// machine's own serial devices never decide a result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "serial/port_table.h"
#include "tests/support/temp_dir.h"

namespace kv9 {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

std::vector<std::string> Names(const std::vector<PortEntry>& table) {
  std::vector<std::string> names;
  for (const auto& e : table) names.push_back(e.name);
  return names;
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST(SerialPortTable, ComPortNumberAcceptsOnlyComAndADecimalNumber) {
  EXPECT_EQ(ComPortNumber("COM1"), 1);
  EXPECT_EQ(ComPortNumber("com12"), 12);
  EXPECT_EQ(ComPortNumber("Com7"), 7);
  EXPECT_EQ(ComPortNumber("COM255"), 255);
  EXPECT_EQ(ComPortNumber("COM0"), std::nullopt);
  EXPECT_EQ(ComPortNumber("COM256"), std::nullopt);
  EXPECT_EQ(ComPortNumber("COMx"), std::nullopt);
  EXPECT_EQ(ComPortNumber("COM"), std::nullopt);
  EXPECT_EQ(ComPortNumber(""), std::nullopt);
  EXPECT_EQ(ComPortNumber("COM01"), std::nullopt);  // not the name the system would build
  EXPECT_EQ(ComPortNumber("COM1 "), std::nullopt);
  EXPECT_EQ(ComPortNumber(" COM1"), std::nullopt);
  EXPECT_EQ(ComPortNumber("COM-1"), std::nullopt);
  EXPECT_EQ(ComPortNumber("COM+1"), std::nullopt);
  EXPECT_EQ(ComPortNumber("COM1a"), std::nullopt);
  EXPECT_EQ(ComPortNumber("LPT1"), std::nullopt);
  EXPECT_EQ(ComPortNumber("ttyS0"), std::nullopt);
  EXPECT_EQ(ComPortNumber("/dev/ttyS0"), std::nullopt);
}

// A fake machine: /dev nodes, their sysfs attributes, and a port folder.
class SerialPortTableFake : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* node : {"ttyS0", "ttyS1", "ttyUSB0", "ttyACM1", "ttyS", "ttyUSBx", "console", "tty0"}) {
      WriteFile(dev() / node, "");
    }
    WriteFile(sys() / "ttyS0" / "type", "4\n");  // a 16550A the kernel found
    WriteFile(sys() / "ttyS1" / "type", "0\n");  // a pre-created node without hardware
    // A USB adapter: the product name sits on the USB device, two levels above the tty's device.
    WriteFile(sys() / "devices" / "usb1" / "1-1" / "product", "FT232R USB UART\n");
    fs::create_directories(sys() / "devices" / "usb1" / "1-1" / "1-1:1.0" / "ttyUSB0");
    fs::create_directories(sys() / "ttyUSB0");
    fs::create_symlink("../devices/usb1/1-1/1-1:1.0/ttyUSB0", sys() / "ttyUSB0" / "device");
    // An FTDI adapter tells its latency timer.
    WriteFile(sys() / "bus" / "usb-serial" / "devices" / "ttyUSB0" / "latency_timer", "16\n");
    fs::create_directories(ports());
  }

  PortTableSources Sources(bool withPorts) const {
    PortTableSources src;
    src.devDir = dev().string();
    src.sysClassTty = sys().string();
    src.usbSerialDevices = (sys() / "bus" / "usb-serial" / "devices").string();
    if (withPorts) src.portDir = ports().string();
    return src;
  }

  fs::path dev() const { return root_.Path() / "dev"; }
  fs::path sys() const { return root_.Path() / "sys"; }
  fs::path ports() const { return root_.Path() / "ports"; }

  TempDir root_;
};

TEST_F(SerialPortTableFake, AutomaticEntriesOnlyForRealUartsAndUsbAdapters) {
  const auto table = ReadPortTable(Sources(false));
  // ttyS0 -> COM1; ttyS1 has no hardware behind it; ttyUSB0 -> COM33;
  // ttyACM1 -> COM66; nodes of other names or without a number are no ports.
  ASSERT_EQ(Names(table), (std::vector<std::string>{"COM1", "COM33", "COM66"}));
  EXPECT_EQ(table[0].device, (dev() / "ttyS0").string());
  EXPECT_EQ(table[0].description, "");
  EXPECT_EQ(table[1].device, (dev() / "ttyUSB0").string());
  EXPECT_EQ(table[1].description, "FT232R USB UART");
  EXPECT_EQ(table[2].device, (dev() / "ttyACM1").string());
  EXPECT_EQ(table[2].description, "");
  // Only the adapter that tells has a latency timer.
  EXPECT_EQ(table[0].latencyTimerMs, -1);
  EXPECT_EQ(table[1].latencyTimerMs, 16);
  EXPECT_EQ(table[2].latencyTimerMs, -1);
}

TEST_F(SerialPortTableFake, ExplicitEntriesJoinAndReplaceAutomaticOnes) {
  for (const char* pts : {"pts77", "pts78", "pts79", "pts80"}) WriteFile(dev() / pts, "");
  fs::create_symlink(dev() / "pts77", ports() / "COM10");
  fs::create_symlink(dev() / "pts78", ports() / "com2");
  fs::create_symlink(dev() / "pts79", ports() / "COM1");   // replaces ttyS0's entry
  fs::create_symlink(dev() / "pts80", ports() / "cOm66");  // replaces ttyACM1's entry
  // Files of other names are not ports.
  for (const char* other : {"COM0", "COMx", "COM256", "COM01", "readme.txt", "COM3.bak"}) {
    WriteFile(ports() / other, "");
  }
  // A slot pinned to a USB socket by its stable name.
  fs::create_directories(dev() / "serial" / "by-path");
  fs::create_symlink("../../ttyUSB0", dev() / "serial" / "by-path" / "pci-0000:00:14.0-usb-0:1:1.0-port0");
  fs::create_symlink(dev() / "serial" / "by-path" / "pci-0000:00:14.0-usb-0:1:1.0-port0", ports() / "COM5");

  const auto table = ReadPortTable(Sources(true));
  // Sorted as text ignoring case: COM10 before COM2.
  ASSERT_EQ(Names(table), (std::vector<std::string>{"COM1", "COM10", "COM2", "COM33", "COM5", "COM66"}));
  EXPECT_EQ(table[0].device, (ports() / "COM1").string());
  EXPECT_EQ(table[0].description, (dev() / "pts79").string());
  EXPECT_EQ(table[1].device, (ports() / "COM10").string());
  EXPECT_EQ(table[2].device, (ports() / "com2").string());  // the name is normalised, the file is not
  EXPECT_EQ(table[3].device, (dev() / "ttyUSB0").string());
  const std::vector<std::string> stable{(dev() / "serial" / "by-path" / "pci-0000:00:14.0-usb-0:1:1.0-port0").string()};
  EXPECT_EQ(table[3].stableNames, stable);
  EXPECT_EQ(table[4].stableNames, stable);
  EXPECT_EQ(table[4].latencyTimerMs, 16);  // pinned by its socket, still the FTDI adapter
  EXPECT_EQ(table[5].device, (ports() / "cOm66").string());
  EXPECT_EQ(table[5].description, (dev() / "pts80").string());

  // The adapter behind COM5 and the devices behind COM1 and COM33's links
  // are gone: those names are no ports, and COM1 and COM33 never fall back
  // to the automatic ttyS0 and ttyUSB0 (a module on another socket).
  fs::remove(dev() / "serial" / "by-path" / "pci-0000:00:14.0-usb-0:1:1.0-port0");
  fs::remove(dev() / "pts79");
  fs::create_symlink(dev() / "pts81", ports() / "COM33");
  EXPECT_EQ(Names(ReadPortTable(Sources(true))), (std::vector<std::string>{"COM10", "COM2", "COM66"}));
}

TEST_F(SerialPortTableFake, MissingFoldersGiveAnEmptyTable) {
  PortTableSources src;
  src.devDir = (root_.Path() / "nodev").string();
  src.sysClassTty = (root_.Path() / "nosys").string();
  src.portDir = (root_.Path() / "noports").string();
  EXPECT_TRUE(ReadPortTable(src).empty());

  // Without sysfs no ttyS node counts as a real UART, but USB adapters still do.
  src.devDir = dev().string();
  EXPECT_EQ(Names(ReadPortTable(src)), (std::vector<std::string>{"COM33", "COM66"}));
}

// The environment-driven entry points, with KV9_PORT_DIR pointing at a
// folder of links. The machine may have serial ports of its own; only the
// entries made here are compared exactly.
TEST(SerialPortTableEnv, EnumComPortsListsExplicitPortsSortedIgnoringCase) {
  TempDir dir;
  ScopedEnv env("KV9_PORT_DIR", dir.Path().string());
  // Explicit entries replace any the machine has under the same numbers.
  fs::create_symlink("/dev/null", dir.Path() / "COM10");
  fs::create_symlink("/dev/null", dir.Path() / "com2");
  fs::create_symlink("/dev/null", dir.Path() / "COM1");

  std::vector<std::string> list = {"stale entry"};
  EnumComPorts(list);
  std::vector<std::string> ours;
  for (const auto& name : list) {
    if (name == "COM1" || name == "COM10" || name == "COM2") ours.push_back(name);
  }
  EXPECT_EQ(ours, (std::vector<std::string>{"COM1", "COM10", "COM2"}));
  EXPECT_EQ(PortDevicePath("COM2"), (dir.Path() / "com2").string());
  EXPECT_EQ(std::count(list.begin(), list.end(), "stale entry"), 0);
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end(),
                             [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); }));
  for (const auto& name : list) EXPECT_TRUE(ComPortNumber(name).has_value()) << name;
}

TEST(SerialPortTableEnv, PortDevicePathResolvesNamesIgnoringCase) {
  TempDir dir;
  ScopedEnv env("KV9_PORT_DIR", dir.Path().string());
  fs::create_symlink("/dev/null", dir.Path() / "COM230");
  EXPECT_EQ(PortDevicePath("COM230"), (dir.Path() / "COM230").string());
  EXPECT_EQ(PortDevicePath("com230"), (dir.Path() / "COM230").string());
  EXPECT_EQ(PortDevicePath("COM231"), "");
  EXPECT_EQ(PortDevicePath("COM0230"), "");
  EXPECT_EQ(PortDevicePath((dir.Path() / "COM230").string()), "");  // a path is not a port name
}

}  // namespace
}  // namespace kv9
