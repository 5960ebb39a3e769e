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

// Names this process for the system's lists (its command name, which other
// programs read as the holder of a port it has open), where the system has
// one; `name` is cut to what the system keeps.
void NameThisProcess(const std::string& name);

}  // namespace kv9::cli
