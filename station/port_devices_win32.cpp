#include <algorithm>
#include <cctype>

#include "serial/port_table.h"
#include "station/port_devices.h"

namespace kv9::station {

// Windows names each serial device once ("\\.\COM3"); letter case aside,
// the same name is the same device.
std::string PortDeviceKey(const std::string& port) {
  std::string path = PortDevicePath(port);
  std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::toupper(c); });
  return path;
}

}  // namespace kv9::station
