#pragma once
// The few things kv9flash asks of the operating system that are spelled
// differently on POSIX and on Windows (host_os_posix.cpp, host_os_win32.cpp;
// the local time and new files are the platform's, shared with the window).
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/local_files.h"

namespace kv9::cli {

using kv9::CreateNewFile;
using kv9::LocalTime;

// Whether stderr is a terminal that takes the progress line ("\r" and the
// erase-line sequence). On Windows this also turns those sequences on in the
// console; a console that cannot take them counts as no terminal.
bool StderrIsTerminal();

// Names this process for the system's lists (its command name, which other
// programs read as the holder of a port it has open), where the system has
// one; `name` is cut to what the system keeps.
void NameThisProcess(const std::string& name);

}  // namespace kv9::cli
