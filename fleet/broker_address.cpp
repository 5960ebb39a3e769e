#include "fleet/broker_address.h"

namespace kv9::fleet {
namespace {

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Splits "host[:port]" / "[v6]:port"; false when the form is wrong.
bool SplitHostPort(const std::string& rest, std::string& host, std::string& port) {
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos) return false;
    host = rest.substr(1, close - 1);
    const std::string after = rest.substr(close + 1);
    if (!after.empty() && after.front() != ':') return false;
    port = after.empty() ? "" : after.substr(1);
    return after.empty() || !port.empty();
  }
  const std::size_t colon = rest.find(':');
  host = rest.substr(0, colon);
  port = colon == std::string::npos ? "" : rest.substr(colon + 1);
  return colon == std::string::npos || !port.empty();
}

}  // namespace

std::optional<BrokerAddress> ParseBrokerUrl(const std::string& url, std::string& error) {
  BrokerAddress address;
  address.url = url;
  std::string rest;
  if (url.rfind("mqtt://", 0) == 0) {
    rest = url.substr(7);
  } else if (url.rfind("mqtts://", 0) == 0) {
    rest = url.substr(8);
    address.tls = true;
    address.port = 8883;
  } else {
    error = "--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not " + url;
    return std::nullopt;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  std::string port;
  if (!SplitHostPort(rest, address.host, port) || address.host.empty() ||
      address.host.find_first_of("/@?# ") != std::string::npos) {
    error = "--mqtt: no broker host in " + url + " (mqtt://HOST[:PORT])";
    return std::nullopt;
  }
  if (!port.empty()) {
    address.port = AllDigits(port) ? std::stoi(port) : 0;
    if (address.port < 1 || address.port > 65535) {
      error = "--mqtt: the port in " + url + " is not a number from 1 to 65535";
      return std::nullopt;
    }
  }
  return address;
}

}  // namespace kv9::fleet
