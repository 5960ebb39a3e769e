#pragma once
// What a station slot asks of its port between updates, quietly: no error
// boxes, no log lines, nothing on the terminal while nothing is there. A
// stop (Ctrl+C) ends a probe before its next frame.
#include <cstdint>
#include <optional>
#include <string>

#include "cli/cli_options.h"

namespace kv9::cli {

// The port is in the port table now (an adapter plugged in, a slot's link
// whose device exists).
bool PortPresent(const std::string& port);

struct ProbeAnswer {
  std::string romVersion;  // as the module reported it, escaped
  std::int32_t rate = 0;   // the module rate it answered at
};

// Asks for the module's ROM version at the module's rates, `firstRate`
// first when it is one of them (the rate a module answered at before), and
// closes the port again; with `onlyFirstRate` at that rate alone (a module
// that stays keeps its rate). Nothing when no module answered, the port did
// not open, or a stop was asked. The question waits up to about two
// seconds at each rate.
std::optional<ProbeAnswer> ProbeModule(const CliOptions& options, const std::string& port, std::int32_t firstRate,
                                       bool onlyFirstRate = false);

}  // namespace kv9::cli

namespace kv9::cli {

// What is wrong with the image a station would program (the file does not
// load, or it belongs to another area than the settings describe), "" when
// nothing is: a station refuses it before any port is touched.
std::string StationImageProblem(const CliOptions& options);

}  // namespace kv9::cli
