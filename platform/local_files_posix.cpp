#include <fcntl.h>
#include <unistd.h>

#include "platform/local_files.h"

namespace kv9 {

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  ::localtime_r(&when, &local);
  return local;
}

std::FILE* CreateNewFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  return fd < 0 ? nullptr : ::fdopen(fd, "w");
}

}  // namespace kv9
