// Port names are "COM" followed by a decimal number on every platform; this
// reads the number back, the same way wherever a name is checked.
#include <cctype>

#include "serial/port_table.h"

namespace kv9 {

std::optional<int> ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 6) return {};
  for (int i = 0; i < 3; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[static_cast<std::size_t>(i)])) != "com"[i])
      return {};
  }
  if (name[3] == '0') return {};
  int n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return {};
    n = n * 10 + (name[i] - '0');
  }
  if (n < 1 || n > 255) return {};
  return n;
}

}  // namespace kv9
