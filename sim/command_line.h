#pragma once
// The kv9sim command line, parsed into SimOptions. Kept apart from main so
// the tests can check every option without starting a process.
#include <string>
#include <vector>

#include "sim_options.h"

namespace kv9::sim {

enum class ParseOutcome { Run, Help, Error };

// `args` excludes the program name. On Error, `*error` says what was wrong.
// The port directory defaults to the environment's KV9_PORT_DIR, given here
// as `envPortDir` (empty when unset).
ParseOutcome ParseCommandLine(const std::vector<std::string>& args, const std::string& envPortDir,
                              SimOptions* options, std::string* error);

// Parses "fw:90", "fw:4F:83", "boot:50", "loader:9F", each optionally
// followed by "/n" (only the n-th matching frame).
bool ParseFaultSite(const std::string& text, FaultSite* site);
// Parses "SITE=BYTE.BIT" (decimal byte index from 0, bit 0..7) into the
// site and position of a bit-flip rule; the kind is left as it is.
bool ParseBitFlip(const std::string& text, FaultRule* rule);

const char* UsageText();

}  // namespace kv9::sim
