#pragma once
// The machine's own name, for a report's "host" and a station's default
// name (host_name_posix.cpp, host_name_win32.cpp). "" when it has none.
#include <string>

namespace kv9::fleet {

std::string HostName();

}  // namespace kv9::fleet
