#pragma once
// What a window keeps of one update run and shows once it has ended. The
// window feeds it the calls the update makes of it (gauge, stage title,
// result); at the end, with the run's report, it says whether the progress
// window stays up, with which advice (the report's), and what the stage
// label and gauge keep showing.
#include <cstdint>
#include <string>
#include <vector>

#include "link/update_report.h"

namespace kv9::window {

// The end of a run as the windows show it.
struct RunEndView {
  // A failure keeps the progress window up with "NG" and the advice until
  // the person confirms it; a success closes it as before.
  bool keepProgressWindow = false;
  std::vector<std::string> adviceLines;
  // The main window's stage label and gauge after a run that failed or
  // stopped: the stage it ended in and how far that stage got.
  std::string stageTitle;
  int percent = 0;
  // Lines the window adds to the log after the run, always shown.
  std::vector<std::string> logLines;
};

class RunWatch {
 public:
  void Start();
  void StageTitle(const std::string& text);
  void Gauge(int percent);
  void ResultShown(bool success);
  // The lines the window logs when the progress window is to close, after
  // the core's advice: where the re-write box is, when the advice names it.
  // The progress window shows them after the report's advice.
  std::vector<std::string> LinesAfterAdvice(std::int32_t failStage);
  // `debugShown`: the debug display is on (the core's debug lines are seen).
  RunEndView End(const UpdateReport& report, bool debugShown) const;
  bool Failed() const { return resultShown_ && !success_; }

 private:
  bool resultShown_ = false;
  bool success_ = false;
  int percent_ = 0;
  std::vector<std::string> afterAdvice_;
};

// The stage label's text for the report's stage ("write" -> "ライト"). Pure.
std::string StageTitleOf(const std::string& reportStage);

}  // namespace kv9::window
