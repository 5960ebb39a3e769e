#pragma once
// The few things kv9flash asks of the operating system that are spelled
// differently on POSIX and on Windows (host_os_posix.cpp, host_os_win32.cpp).
#include <cstdio>
#include <ctime>
#include <string>

namespace kv9::cli {

// `when` in the machine's local time zone.
std::tm LocalTime(std::time_t when);

// Whether stderr is a terminal that takes the progress line ("\r" and the
// erase-line sequence). On Windows this also turns those sequences on in the
// console; a console that cannot take them counts as no terminal.
bool StderrIsTerminal();

// Creates `path` for writing, failing when it exists; the file is not passed
// on to programs this one starts. Null with errno set when it cannot.
std::FILE* CreateNewFile(const std::string& path);

}  // namespace kv9::cli
