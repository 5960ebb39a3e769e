#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "cli/host_os.h"

namespace kv9::cli {


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


// A Windows process is known by its program file's name alone.
void NameThisProcess(const std::string&) {}

}  // namespace kv9::cli
