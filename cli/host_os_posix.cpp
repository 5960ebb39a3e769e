#include <fcntl.h>
#include <unistd.h>

#include "cli/host_os.h"

namespace kv9::cli {


bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }


}  // namespace kv9::cli
