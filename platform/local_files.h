#pragma once
// The two things a record writer asks of the operating system that are
// spelled differently on POSIX and on Windows (local_files_posix.cpp,
// local_files_win32.cpp).
#include <cstdio>
#include <ctime>
#include <string>

namespace kv9 {

// `when` in the machine's local time zone.
std::tm LocalTime(std::time_t when);

// Creates `path` for writing, failing when it exists; the file is not passed
// on to programs this one starts. Null with errno set when it cannot.
std::FILE* CreateNewFile(const std::string& path);

}  // namespace kv9
