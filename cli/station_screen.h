#pragma once
// What the station process shows and keeps: on a terminal a live table, one
// line per slot and the running tally below it, redrawn in place with the
// slots' messages printed above it; without a terminal one line per event,
// "COM3 12:00:01 ...". It also keeps the tally and writes each run's
// report object to the report file as the run ends.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/station_broker.h"
#include "cli/station_view.h"

namespace kv9::cli {

// False, with the reason on stderr, when the image would be refused.
bool StationImageAccepted(const CliOptions& options);

class Station {
 public:
  Station(const CliOptions& options, bool live);
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // Opens --report for appending (when given); false, with the reason on
  // stderr, when it cannot.
  bool OpenReport();
  // Starts publishing to the broker (--mqtt); false, with the reason
  // on stderr, when it cannot be used.
  bool OpenBroker() { return broker_.Start(options_); }
  void AddSlot(const SlotView* view) { slots_.push_back(view); }
  // Hears every event of every slot after this station took it (the one
  // place a publisher hooks in).
  void AddListener(SlotEventListener* listener) { listeners_.push_back(listener); }
  // A line the slot's process printed on stderr (errors, "continue with:").
  void Message(const SlotView& slot, const std::string& text);
  // An event of the slot; `inRun` is the slot's run-in-progress flag.
  void Event(SlotView& slot, bool& inRun, const SlotEvent& event);
  // Draws the table again when something changed (or `force`), and at
  // least once a second for the modules per hour.
  void Redraw(bool force);
  // A slot that never started (`inRun` false), or whose run ended without a
  // word (its process died, `inRun`): an NG, and for a run its report line.
  void SlotLost(SlotView& slot, bool inRun);
  // The closing tally on stderr; the exit status.
  int Finish();

 private:
  void Line(const std::string& prefix, const std::string& text);
  void WriteReportLine(const SlotView& slot, const std::string& reportLine);
  void EraseTable();
  void DrawTable();
  double Elapsed() const;
  void TellBrokerNotices();

  const CliOptions& options_;
  bool live_;
  std::vector<const SlotView*> slots_;
  std::vector<SlotEventListener*> listeners_;
  Tally tally_;
  int seq_ = 0;
  std::FILE* report_ = nullptr;
  StationBroker broker_;
  bool reportFailed_ = false;
  int drawn_ = 0;  // lines of the table on the screen
  bool dirty_ = true;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point drawnAt_{};
};

}  // namespace kv9::cli
