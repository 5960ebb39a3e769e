#pragma once
// What a station shows: the state of each slot, the running tally, and the
// event lines a slot's process sends its parent. Pure: tests call them
// directly.
#include <string>
#include <vector>

namespace kv9::cli {

// One event of a slot, as it travels from the slot's process to the
// station: its kind and fields, one line, separated by tabs.
//   waiting                      the port is not there
//   searching                    the port is there, no module answers yet
//   found   ROM RATE MODE START  a module answered (MODE "update"), or its boot
//                                program did ("rewrite", ROM "boot program"); its run starts
//   stage   LABEL PERCENT        the update's stage and percentage (-1 none)
//   done    OK|NG STAGE ROM SECONDS START JSON MODE OUTCOME STATE SIGNAL
//                                the run ended, with its report object, the
//                                outcome's and the module state's names, and
//                                the signal that stopped it (0 none)
//   gone    port|silent          the module is gone: its port vanished, or it no longer answers
struct SlotEvent {
  std::string kind;
  std::vector<std::string> fields;
  std::string Field(std::size_t i) const { return i < fields.size() ? fields[i] : std::string(); }
};
std::string EventLine(const SlotEvent& event);  // no end of line; tabs in fields become blanks
SlotEvent ParseEventLine(const std::string& line);

enum class SlotPhase { Waiting, Searching, Updating, Ok, Ng };

struct SlotView {
  std::string port;
  SlotPhase phase = SlotPhase::Waiting;
  int seq = 0;             // the station's number of the module in the slot
  std::string stage;       // the stage label while updating; the report's stage after NG
  int percent = -1;
  std::string romAfter;    // after OK
  double seconds = 0;      // the run's time after OK or NG
  std::string mode = "update";  // or "rewrite": the run of a module found in its boot program
  std::string start;            // the run's start time
  std::string stoppedBy;        // "SIGINT" when a stop ended the run, else ""
  std::string moduleState;      // where the run left the module
};


struct Tally {
  int ok = 0;
  int ng = 0;
  double runSeconds = 0;  // of every finished run
};

// What the station parent hears of its slots, every event after the slot's
// view and the tally took it: the screen is one listener, a publisher to a
// production line's broker another.
class SlotEventListener {
 public:
  virtual ~SlotEventListener() = default;
  virtual void OnSlotEvent(const SlotView& slot, const SlotEvent& event, const Tally& tally) = 0;
};

// The signal's name for a person: "SIGINT (Ctrl+C)", "SIGTERM".
std::string StopSignalText(int signal);

// One line of the live table: "COM3   #2  ライト中... [###---]  45%".
std::string SlotLine(const SlotView& slot);
// "3 OK, 1 NG, mean 17.4 s per module, 206.9 modules per hour" over `elapsed`
// seconds since the station started.
std::string TallyText(const Tally& tally, double elapsed);
// The event as a log line without the port and time (what changed, for a
// station without a terminal); "" for events that change nothing to say.
std::string EventText(const SlotView& slot, const SlotEvent& event);
// Applies the event to the slot (and a finished run to the tally).
void ApplyEvent(SlotView& slot, Tally& tally, const SlotEvent& event);
// The report object of a run with the station's sequence number and the
// run's start time and mode after its port:
// {"port":"COM3","seq":2,"start":"...","mode":"update",...}; the start the
// report carries itself, when it has one, else `start`.
std::string StationJson(std::string json, int seq, std::string start, const std::string& mode);

}  // namespace kv9::cli
