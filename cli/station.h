#pragma once
// Station mode: kv9flash keeps a production bench running until Ctrl+C or
// SIGTERM, updating each module as it is connected. One process per port
// (a slot) waits for its module, searches it quietly, updates it as
// `update` does, records the run, and waits until the module is gone before
// waiting for the next; a module that stays is never updated twice, also
// after an NG. The station process shows the slots (a live table on a
// terminal, else one line per event), keeps the tally and writes the report
// file.
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/station_view.h"

namespace kv9::cli {

// The station: `args` is the command line without the program name. Exit
// status 0 when every module of the shift was updated, 1 when any failed
// (also one whose run a stop cut short), 2 bad input.
int RunStation(const CliOptions& options, const std::vector<std::string>& args);

// In a slot's process (started by RunStation): serves options.port until a
// stop is asked. Returns 0 when every module it met was updated, else 1.
int RunStationSlot(const CliOptions& options);

// Whether this process is a station's slot.
bool IsStationSlot();

// In a slot's process: hands one event to the station.
void SendStationEvent(const SlotEvent& event);

}  // namespace kv9::cli
