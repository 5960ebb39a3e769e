// What the port table is the same for on every system; reading it is per
// system (port_table_posix.cpp, port_table_win32.cpp).
#include "serial/port_table.h"

#include <algorithm>
#include <cctype>

namespace kv9 {

bool PortNameBefore(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

void SortPortTable(std::vector<PortEntry>& table) {
  std::sort(table.begin(), table.end(),
            [](const PortEntry& a, const PortEntry& b) { return PortNameBefore(a.name, b.name); });
}

std::string PortDevicePath(const std::string& name) {
  auto number = ComPortNumber(name);
  if (!number) return "";
  for (const auto& entry : ReadPortTable()) {
    if (ComPortNumber(entry.name) == number) return entry.device;
  }
  return "";
}

}  // namespace kv9
