#include "serial/port_name.h"

#include <cctype>
#include <climits>

namespace kv9 {
namespace {

EConvertError NotAnInteger(const std::string& text) {
  return EConvertError("'" + text + "' is not a valid integer value");
}

}  // namespace

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

int StrToInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) throw NotAnInteger(text);
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) throw NotAnInteger(text);
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size()) throw NotAnInteger(text);
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) throw NotAnInteger(text);
  return static_cast<int>(value);
}

int ComNumberOf(const std::string& portName) {
  if (const auto number = ComPortNumber(portName)) return *number;
  throw NotAnInteger(portName.size() > 3 ? portName.substr(3) : std::string());
}

}  // namespace kv9
