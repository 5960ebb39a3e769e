#pragma once
// Station mode: kv9flash keeps a production bench running until Ctrl+C or
// SIGTERM, updating each module as it is connected. One process per port
// (a slot, station_slot.cpp) probes its port and feeds what it finds to its
// presence machine (station/slot_presence.h): a module that answers is
// updated once, a module found in its boot program is re-written once, and
// a module is gone only after several unanswered probes. The station process
// shows the slots (a live table on a terminal, else one line per event),
// keeps the tally and writes the report file, one line per run.
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/station_view.h"

namespace kv9::cli {

// The station: `args` is the command line without the program name. Exit
// status 0 when every module of the shift was updated, 1 when any failed
// (also one whose run a stop cut short), 2 bad input (also two names of one
// device, refused before any port is opened).
int RunStation(const CliOptions& options, const std::vector<std::string>& args);

// In a slot's process (started by RunStation): serves options.port until a
// stop is asked. Returns 0 when every module it met was updated, else 1.
int RunStationSlot(const CliOptions& options);

// Whether this process is a station's slot.
bool IsStationSlot();

// In a slot's process: every port of its station, for the slot to leave a
// device alone that another slot's port names now.
std::vector<std::string> StationPorts();

// In a slot's process: hands one event to the station.
void SendStationEvent(const SlotEvent& event);

}  // namespace kv9::cli
