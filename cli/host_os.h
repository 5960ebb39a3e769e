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

}  // namespace kv9::cli
