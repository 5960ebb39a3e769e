// Station mode needs one slot process per port with an event pipe each;
// on Windows that is not built yet, and the command says so.
#include <cstdio>
#include <cstdlib>

#include "cli/several_ports.h"
#include "cli/station.h"

namespace kv9::cli {

int RunStation(const CliOptions&, const std::vector<std::string>&) {
  std::fprintf(stderr, "error: station is not available on Windows yet\n");
  return 2;
}

bool IsStationSlot() { return std::getenv(kReportFdVariable) != nullptr; }

void SendStationEvent(const SlotEvent&) {}

std::vector<std::string> StationPorts() { return {}; }

}  // namespace kv9::cli
