#include "fleet/json_text.h"

#include <cstdio>
#include <cstdlib>

namespace kv9::fleet {

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(byte));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string StringMember(const std::string& json, const std::string& name) {
  const std::string key = JsonText(name) + ":\"";
  const std::size_t at = json.find(key);
  if (at == std::string::npos) return {};
  std::string value;
  for (std::size_t i = at + key.size(); i < json.size(); ++i) {
    const char c = json[i];
    if (c == '"') return value;
    if (c != '\\' || i + 1 >= json.size()) {
      value += c;
      continue;
    }
    const char next = json[++i];
    if (next == 'u' && i + 4 < json.size()) {
      value += static_cast<char>(std::strtol(json.substr(i + 1, 4).c_str(), nullptr, 16));
      i += 4;
    } else {
      value += next;
    }
  }
  return {};  // no closing quote: not a value this tool wrote
}

}  // namespace kv9::fleet
