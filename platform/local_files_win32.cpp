#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "platform/local_files.h"

namespace kv9 {

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  ::localtime_s(&local, &when);
  return local;
}

std::FILE* CreateNewFile(const std::string& path) {
  const int fd = ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  return fd < 0 ? nullptr : ::_fdopen(fd, "w");
}

}  // namespace kv9
