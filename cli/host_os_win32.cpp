#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "cli/host_os.h"

namespace kv9::cli {

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  ::localtime_s(&local, &when);
  return local;
}

bool StderrIsTerminal() {
  // A file, a pipe or the NUL device has no console mode (NUL would pass a
  // character-device test such as _isatty).
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err == INVALID_HANDLE_VALUE || !::GetConsoleMode(err, &mode)) return false;
  // Consoles before Windows 10 do not know the erase-line sequence; they get
  // no progress line rather than escape codes on the screen.
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::FILE* CreateNewFile(const std::string& path) {
  const int fd =
      ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  return fd < 0 ? nullptr : ::_fdopen(fd, "w");
}

// A Windows process is known by its program file's name alone.
void NameThisProcess(const std::string&) {}

}  // namespace kv9::cli
