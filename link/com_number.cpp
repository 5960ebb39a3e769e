#include "link/com_number.h"

#include <cctype>
#include <climits>

namespace kv9 {

int StrToInt(const std::string& text) {
  const auto fail = [&] { return EConvertError("'" + text + "' is not a valid integer value"); };
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) throw fail();
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) throw fail();
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size()) throw fail();
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) throw fail();
  return static_cast<int>(value);
}

int ComNumberOf(const std::string& portName) {
  return StrToInt(portName.size() > 3 ? portName.substr(3) : std::string());
}

}  // namespace kv9
