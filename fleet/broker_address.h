#pragma once
// Where the broker is: `mqtt://HOST[:PORT]` (port 1883 by default) or
// `mqtts://HOST[:PORT]` (TLS, port 8883 by default). HOST may be a name, an
// IPv4 address or an IPv6 address in brackets. Pure.
#include <optional>
#include <string>

namespace kv9::fleet {

struct BrokerAddress {
  std::string host;
  int port = 1883;
  bool tls = false;
  std::string url;  // as given, for messages
};

// Nothing, with `error` saying what is wrong, for anything else.
std::optional<BrokerAddress> ParseBrokerUrl(const std::string& url, std::string& error);

}  // namespace kv9::fleet
