#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "serial/port_table.h"
#include "station/port_devices.h"

namespace kv9::station {

std::string PortDeviceKey(const std::string& port) {
  const std::string path = PortDevicePath(port);
  struct stat st {};
  // stat follows every link to the device node itself.
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  if (!S_ISCHR(st.st_mode)) return "file:" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  return "char:" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
}

}  // namespace kv9::station
