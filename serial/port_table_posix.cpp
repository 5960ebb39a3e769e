#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "serial/low_latency_posix.h"
#include "serial/port_table.h"

namespace kv9 {
namespace fs = std::filesystem;
namespace {

// "ttyUSB12" with prefix "ttyUSB" -> 12.
std::optional<int> SuffixNumber(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return {};
  int n = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 10000) return {};
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

std::string ReadFirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The kernel pre-creates ttyS nodes for UARTs that may not exist; its "type"
// attribute is 0 (unknown) for those.
bool IsRealUart(const PortTableSources& src, const std::string& node) {
  const std::string type = ReadFirstLine(fs::path(src.sysClassTty) / node / "type");
  return !type.empty() && type != "0";
}

// The USB product name of an adapter: the nearest "product" file above the
// tty's device in sysfs.
std::string UsbDescription(const PortTableSources& src, const std::string& node) {
  std::error_code ec;
  fs::path dir = fs::canonical(fs::path(src.sysClassTty) / node / "device", ec);
  if (ec) return "";
  for (int up = 0; up < 5 && !dir.empty() && dir != dir.root_path(); ++up, dir = dir.parent_path()) {
    const std::string product = ReadFirstLine(dir / "product");
    if (!product.empty()) return product;
  }
  return "";
}

// The links of <devDir>/serial/by-path and by-id, by the device they lead to.
// They annotate the entries only, so they are read from /dev also when the
// automatic entries are left out.
std::map<std::string, std::vector<std::string>> StableNames(const PortTableSources& src) {
  std::map<std::string, std::vector<std::string>> byDevice;
  const fs::path dev = src.devDir.empty() ? fs::path("/dev") : fs::path(src.devDir);
  for (const char* kind : {"by-path", "by-id"}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dev / "serial" / kind, ec)) {
      std::error_code cec;
      const fs::path device = fs::canonical(entry.path(), cec);
      if (!cec) byDevice[device.string()].push_back(entry.path().string());
    }
  }
  for (auto& [device, names] : byDevice) std::sort(names.begin(), names.end());
  return byDevice;
}

// The explicit entries of KV9_PORT_DIR over the automatic ones.
void AddExplicitEntries(const std::string& portDir, std::map<int, PortEntry>& byNumber) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(portDir, ec)) {
    const std::string file = entry.path().filename().string();
    auto number = ComPortNumber(file);
    if (!number) continue;
    std::error_code lec;
    if (!fs::exists(entry.path(), lec)) {
      // The slot is named but its device is gone: no port, and not the
      // automatic device that happens to have the same number either.
      byNumber.erase(*number);
      continue;
    }
    std::string description;
    if (fs::is_symlink(entry.path(), lec)) {
      description = fs::read_symlink(entry.path(), lec).string();
    }
    byNumber[*number] = {"COM" + std::to_string(*number), entry.path().string(), description, {}};
  }
}

}  // namespace

namespace {
std::optional<PortTableSources>& TestSources() {
  static std::optional<PortTableSources> sources;
  return sources;
}
}  // namespace

void SetPortTableSourcesForTest(const PortTableSources* sources) {
  if (sources) TestSources() = *sources;
  else TestSources().reset();
}

PortTableSources PortTableSources::FromEnvironment() {
  PortTableSources src = TestSources().value_or(PortTableSources{});
  if (const char* dir = std::getenv("KV9_PORT_DIR")) src.portDir = dir;
  // KV9_PORT_DIR_ONLY=1 leaves the machine's own ports out, so a program a
  // test starts sees only the ports the test published.
  if (const char* only = std::getenv("KV9_PORT_DIR_ONLY"); only && std::string(only) == "1") src.devDir.clear();
  return src;
}

std::vector<PortEntry> ReadPortTable(const PortTableSources& src) {
  std::map<int, PortEntry> byNumber;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(src.devDir, ec)) {
    const std::string node = entry.path().filename().string();
    std::optional<int> number;
    std::string description;
    if (auto k = SuffixNumber(node, "ttyS")) {
      if (!IsRealUart(src, node)) continue;
      number = *k + 1;
    } else if (auto k = SuffixNumber(node, "ttyUSB")) {
      number = *k + 33;
      description = UsbDescription(src, node);
    } else if (auto k = SuffixNumber(node, "ttyACM")) {
      number = *k + 65;
      description = UsbDescription(src, node);
    }
    if (!number || *number > 255) continue;
    byNumber[*number] = {"COM" + std::to_string(*number), entry.path().string(), description, {}};
  }
  if (!src.portDir.empty()) AddExplicitEntries(src.portDir, byNumber);
  const auto stable = StableNames(src);
  std::vector<PortEntry> table;
  for (auto& [number, entry] : byNumber) {
    std::error_code cec;
    const fs::path device = fs::canonical(entry.device, cec);
    if (!cec) {
      const auto names = stable.find(device.string());
      if (names != stable.end()) entry.stableNames = names->second;
      entry.latencyTimerMs = posix::ReadLatencyTimer(src.usbSerialDevices, device.filename().string()).value_or(-1);
    }
    table.push_back(std::move(entry));
  }
  SortPortTable(table);
  return table;
}

std::vector<PortEntry> ReadPortTable() { return ReadPortTable(PortTableSources::FromEnvironment()); }

void EnumComPorts(std::vector<std::string>& list) {
  auto table = ReadPortTable();
  if (table.empty()) return;
  list.clear();
  for (auto& entry : table) list.push_back(entry.name);
}

}  // namespace kv9
