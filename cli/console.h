#pragma once
// The terminal's two streams as kv9flash uses them: log lines on stdout, and
// on stderr messages, the summary and one progress line that is redrawn in
// place and erased before anything else is printed, so the screen never
// mixes a half-drawn progress line with a log line. A failed write (closed
// pipe, hung-up terminal, full disk) does not stop the run: the module is
// finished whoever is watching; the error is kept for the exit status.
// Every line can also go to a run record with its time.
#include <cstdio>
#include <functional>
#include <string>

namespace kv9::cli {

// Text that came from the module (ROM version, model name) may hold any
// byte: control characters, DEL and bytes that are not valid UTF-8 become
// \xNN, so they cannot move the cursor or change the terminal's state.
// Printable ASCII and valid UTF-8 characters pass unchanged.
std::string EscapeText(const std::string& text);

class Console {
 public:
  // `progress`: stderr is a terminal and progress was not turned off.
  Console(std::FILE* out, std::FILE* err, bool progress);

  void LogLine(const std::string& text);  // stdout, escaped
  void Message(const std::string& text);  // stderr, one line
  // Shows `text` as the progress line (nothing when progress is off).
  void Progress(const std::string& text);
  // Erases the progress line; the next Progress draws it again.
  void EndProgress();
  bool ProgressOn() const { return progress_; }
  // The update's stage label and percentage (-1 none) as they change, for
  // a station that shows them in its own table (whether or not the progress
  // line is drawn).
  using StageSink = std::function<void(const std::string& label, int percent)>;
  void SetStageSink(StageSink sink) { stageSink_ = std::move(sink); }
  void Stage(const std::string& label, int percent) {
    if (stageSink_) stageSink_(label, percent);
  }
  // Where run-record lines go (null: none). Not owned.
  void SetRecord(std::FILE* record) { record_ = record; }
  // A line for the record only (settings, outcome).
  void RecordOnly(const std::string& text);
  // The error of the first log line stdout did not take (a full disk, a
  // closed pipe: EPIPE), 0 none; the same for the run record.
  int OutError() const { return outError_; }
  int RecordError() const { return recordError_; }

 private:
  void Erase();
  void Record(const char* stream, const std::string& text);
  std::FILE* out_;
  std::FILE* err_;
  std::FILE* record_ = nullptr;
  bool progress_;
  bool shown_ = false;
  int outError_ = 0;
  int recordError_ = 0;
  std::string current_;
  StageSink stageSink_;
};

}  // namespace kv9::cli
