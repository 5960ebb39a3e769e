// The port table on Windows: the serial ports the machine lists in the
// registry under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM. Each
// value's data is a port name ("COM3"); its name is the driver's device
// ("\Device\Serial2", "\Device\VCP0"), which serves as the description.
// The Linux folders of PortTableSources do not exist here and are not read.
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "serial/adapter_latency_win32.h"
#include "serial/port_table.h"

namespace kv9 {
namespace {

std::string Narrow(const wchar_t* text, std::size_t length) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr,
                        nullptr);
  return out;
}

// Reads the key's values by index until the first one that cannot be read.
// Returns false when the key does not exist (a machine without serial ports).
bool ReadSerialComm(std::vector<PortEntry>& entries) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t valueName[256];
    DWORD nameLength = 256;  // characters
    BYTE data[256 + sizeof(wchar_t)] = {};
    DWORD dataSize = 256;  // bytes; the extra room keeps the text terminated
    DWORD type = 0;
    if (::RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type, data, &dataSize) !=
        ERROR_SUCCESS)
      break;
    if (type != REG_SZ) continue;
    const auto* text = reinterpret_cast<const wchar_t*>(data);
    std::size_t length = dataSize / sizeof(wchar_t);
    while (length > 0 && text[length - 1] == L'\0') --length;
    std::string name = Narrow(text, length);
    // The tool carries ports as numbers, so only "COM<n>" names can be
    // reached; anything else a driver registers is left out.
    if (!ComPortNumber(name)) continue;
    PortEntry entry;
    entry.name = name;
    entry.device = "\\\\.\\" + name;
    entry.description = Narrow(valueName, nameLength);
    entry.latencyTimerMs = FtdiLatencyTimer(name).value_or(-1);
    entries.push_back(std::move(entry));
  }
  ::RegCloseKey(key);
  return true;
}

}  // namespace

void SetPortTableSourcesForTest(const PortTableSources*) {}

PortTableSources PortTableSources::FromEnvironment() { return {}; }

std::vector<PortEntry> ReadPortTable(const PortTableSources&) {
  std::vector<PortEntry> table;
  ReadSerialComm(table);
  // As text ignoring letter case, so COM10 comes before COM2.
  SortPortTable(table);
  return table;
}

std::vector<PortEntry> ReadPortTable() { return ReadPortTable(PortTableSources{}); }

void EnumComPorts(std::vector<std::string>& list) {
  std::vector<PortEntry> table;
  if (!ReadSerialComm(table)) return;  // no key: the list stays as it was
  std::vector<std::string> names;
  for (auto& entry : table) names.push_back(entry.name);
  std::sort(names.begin(), names.end(), PortNameBefore);
  list = std::move(names);
}

}  // namespace kv9
