// The station process on POSIX: one slot process per port under the
// supervisor, their events, the table or the event lines, the tally and
// the report file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/host_os.h"
#include "cli/run_report.h"
#include "cli/signals.h"
#include "cli/station.h"
#include "cli/station_screen.h"
#include "station/child_processes.h"
#include "serial/port_table.h"
#include "station/port_devices.h"

namespace kv9::cli {
namespace {

constexpr char kStationPortsVariable[] = "KV9FLASH_STATION_PORTS";

// The device node a port's name leads to, links followed.
std::string DeviceName(const std::string& port) {
  std::error_code ec;
  const std::filesystem::path device = std::filesystem::canonical(PortDevicePath(port), ec);
  return ec ? PortDevicePath(port) : device.string();
}

// Two names of one device would give one module to two slots: refused
// before any port is opened, both names said.
bool OneDevicePerSlot(const std::vector<std::string>& ports) {
  const auto pairs = station::PortsOfOneDevice(ports);
  for (const auto& [a, b] : pairs) {
    std::fprintf(stderr, "error: %s and %s are one device (%s); a station takes each device once\n", a.c_str(),
                 b.c_str(), DeviceName(a).c_str());
  }
  return pairs.empty();
}

std::string Joined(const std::vector<std::string>& ports) {
  std::string list;
  for (const std::string& port : ports) list += (list.empty() ? "" : ",") + port;
  return list;
}

}  // namespace

bool IsStationSlot() { return station::ReportDescriptor() >= 0; }

std::vector<std::string> StationPorts() {
  std::vector<std::string> ports;
  const char* list = std::getenv(kStationPortsVariable);
  std::string rest = list ? list : "";
  for (std::size_t comma; !rest.empty(); rest = comma == std::string::npos ? "" : rest.substr(comma + 1)) {
    comma = rest.find(',');
    ports.push_back(rest.substr(0, comma));
  }
  return ports;
}

void SendStationEvent(const SlotEvent& event) {
  const int fd = station::ReportDescriptor();
  if (fd < 0) return;
  const std::string line = EventLine(event) + "\n";
  [[maybe_unused]] const ssize_t n = ::write(fd, line.data(), line.size());
}

int RunStation(const CliOptions& options, const std::vector<std::string>& args) {
  if (!StationImageAccepted(options) || !OneDevicePerSlot(options.ports)) return 2;
  // The slots stop the modules; this process only waits for them.
  ArmStop();
  Station station(options, !options.quiet && StderrIsTerminal());
  if (!station.OpenReport()) return 2;
  // The broker, before any slot starts.
  if (!station.OpenBroker()) return 2;
  std::vector<SlotView> views(options.ports.size());
  std::vector<bool> inRun(options.ports.size(), false);
  std::vector<station::SupervisedChild> slots(options.ports.size());
  const std::vector<std::string> common = CommonChildArguments(args);
  for (std::size_t k = 0; k < slots.size(); ++k) {
    views[k].port = options.ports[k];
    slots[k].args = common;
    slots[k].args.push_back("--port");
    slots[k].args.push_back(options.ports[k]);
    // What another program that finds the port held names as its holder.
    slots[k].title = "kv9flash station " + options.ports[k];
    slots[k].keepStdout = false;  // the update's log lines: its record keeps them
    slots[k].env.push_back(std::string(kStationPortsVariable) + "=" + Joined(options.ports));
    station.AddSlot(&views[k]);
  }
  station.Redraw(true);
  station::SupervisorCalls calls;
  calls.line = [&](std::size_t k, station::ChildStream stream, const std::string& line) {
    if (stream == station::ChildStream::Err) station.Message(views[k], line);
    if (stream != station::ChildStream::Report) return;
    bool running = inRun[k];
    station.Event(views[k], running, ParseEventLine(line));
    inRun[k] = running;
  };
  calls.stopSignal = [] { return StopSignal(); };
  calls.idle = [&station] { station.Redraw(false); };
  std::vector<int> errors;
  station::SuperviseChildren(slots, calls, &errors);
  for (std::size_t k = 0; k < slots.size(); ++k) {
    if (errors[k] != 0) {
      std::fprintf(stderr, "%s: error: cannot start a slot: %s\n", options.ports[k].c_str(), std::strerror(errors[k]));
      station.SlotLost(views[k], false);
    }
    // A slot that ended in the middle of a run never told how it went.
    if (inRun[k]) station.SlotLost(views[k], true);
  }
  return station.Finish();
}

}  // namespace kv9::cli
