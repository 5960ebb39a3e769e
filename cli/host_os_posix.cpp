#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "cli/host_os.h"

namespace kv9::cli {

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  ::localtime_r(&when, &local);
  return local;
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

std::FILE* CreateNewFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  return fd < 0 ? nullptr : ::fdopen(fd, "w");
}

void NameThisProcess(const std::string& name) { ::prctl(PR_SET_NAME, name.c_str(), 0, 0, 0); }

}  // namespace kv9::cli
