#include "station/port_devices.h"

namespace kv9::station {

std::vector<std::pair<std::string, std::string>> PortsOfOneDevice(const std::vector<std::string>& ports) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::vector<std::string> keys;
  for (const std::string& port : ports) keys.push_back(PortDeviceKey(port));
  for (std::size_t i = 0; i < ports.size(); ++i) {
    for (std::size_t j = i + 1; j < ports.size(); ++j) {
      if (!keys[i].empty() && keys[i] == keys[j]) pairs.emplace_back(ports[i], ports[j]);
    }
  }
  return pairs;
}

}  // namespace kv9::station
