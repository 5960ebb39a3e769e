#pragma once
// The record of each update the window runs: one file per run in
// kv9update/logs of the user's data folder, every line with its time, in
// kv9flash's run-record form ("2026-01-02 10:11:12.345  text"; lines only
// for the record begin "# ", message boxes "! "). Each line is flushed as it
// comes, so a run cut short by a crash or a power cut still leaves its lines.
#include <cstdio>
#include <ctime>
#include <string>

#include "link/update_report.h"

namespace kv9::window {

// <user data folder>/kv9update/logs; "" with `error` when there is none.
std::string RunLogFolder(std::string& error);

// "kv9update-YYYYMMDD-HHMMSS-COMn" for a run started at `when` on `port`. Pure.
std::string RunLogBaseName(const std::string& port, std::time_t when);

// One record line per line of `text` (split at '\n'), each with `stamp` and
// `mark`; control characters written as \xNN. Pure.
std::string RecordLines(const std::string& stamp, const char* mark, const std::string& text);

// The line that ends a run's record. Pure.
std::string OutcomeLine(const UpdateReport& report);

class RunLogFile {
 public:
  RunLogFile() = default;
  RunLogFile(const RunLogFile&) = delete;
  RunLogFile& operator=(const RunLogFile&) = delete;
  ~RunLogFile();

  // Creates the folder when needed and a new file in it (with "-2", "-3"...
  // when the name is taken). False with `error` when it cannot.
  bool Open(const std::string& folder, const std::string& port, std::string& error);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  void Line(const std::string& text) { Write("", text); }
  void Note(const std::string& text) { Write("# ", text); }
  void Message(const std::string& text) { Write("! ", text); }
  // Closes the file; false with `error` when a line or the close failed.
  bool Close(std::string& error);

 private:
  void Write(const char* mark, const std::string& text);
  std::FILE* file_ = nullptr;
  std::string path_;
  int error_ = 0;
};

}  // namespace kv9::window
