#pragma once
// Run records: one file per run and port in a folder the line chooses, so a
// production line keeps a record of every module it touched.
#include <cstdio>
#include <string>

namespace kv9::cli {

// Creates the folder when needed and a new file
// "kv9flash-YYYYMMDD-HHMMSS-COMn.log" (with "-2", "-3"... when that name is
// taken). Null with `error` set when it cannot.
std::FILE* OpenRunRecord(const std::string& folder, const std::string& port, std::string* path,
                         std::string* error);

}  // namespace kv9::cli
