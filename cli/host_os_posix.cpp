#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "cli/host_os.h"

namespace kv9::cli {


bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }


void NameThisProcess(const std::string& name) { ::prctl(PR_SET_NAME, name.c_str(), 0, 0, 0); }

}  // namespace kv9::cli
