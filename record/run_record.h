#pragma once
// The record of each update run, for kv9flash and both windows alike: one
// file per run and port, every line with its time ("2026-01-02
// 10:11:12.345  text"; lines only for the record begin "# ", message boxes
// "! "). Each line is flushed as it comes, so a run cut short by a crash or
// a power cut still leaves its lines.
#include <cstdio>
#include <ctime>
#include <string>

#include "link/update_report.h"

namespace kv9::record {

// "<program>-YYYYMMDD-HHMMSS-COMn" for a run started at `when` on `port`. Pure.
std::string RunRecordBaseName(const std::string& program, const std::string& port, std::time_t when);

// The time stamp of a record line, now, to the millisecond.
std::string RecordTimeStamp();

// One record line per line of `text` (split at '\n'), each with `stamp` and
// `mark`; control characters written as \xNN. Pure.
std::string RecordLines(const std::string& stamp, const char* mark, const std::string& text);

// Creates the folder when needed and a new file "<base>.log" (with "-2",
// "-3"... when that name is taken). Null with `error` set when it cannot.
std::FILE* OpenRunRecord(const std::string& folder, const std::string& program, const std::string& port,
                         std::string* path, std::string* error);

// Appends `text` as record lines; false with errno set when the write failed.
bool WriteRecordLines(std::FILE* file, const char* mark, const std::string& text);

// The line that ends a window run's record. Pure.
std::string OutcomeLine(const UpdateReport& report);

// A record file held open for one run.
class RunRecordFile {
 public:
  RunRecordFile() = default;
  RunRecordFile(const RunRecordFile&) = delete;
  RunRecordFile& operator=(const RunRecordFile&) = delete;
  ~RunRecordFile();

  bool Open(const std::string& folder, const std::string& program, const std::string& port, std::string& error);
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

}  // namespace kv9::record
