// One slot of a station: the probes that feed the slot's presence machine,
// and what its verdicts ask for: an update (or a re-write of a module found
// in its boot program), its record and its events; again until a stop.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <thread>

#include "cli/broker_link.h"
#include "cli/console.h"
#include "cli/host_os.h"
#include "cli/module_run.h"
#include "cli/recorded_run.h"
#include "cli/signals.h"
#include "cli/station.h"
#include "station/module_probe.h"
#include "station/port_devices.h"
#include "station/slot_presence.h"

namespace kv9::cli {
namespace {

using station::ProbeKind;
using station::Verdict;

// Between two probes: while the port is missing, while nothing answers, and
// while a module stays after its run. A probe of an empty port itself waits
// up to about two seconds at each of the module's four rates.
constexpr auto kPortLookPause = std::chrono::milliseconds(200);
constexpr auto kSearchPause = std::chrono::milliseconds(300);
constexpr auto kPresencePause = std::chrono::milliseconds(500);

// Sleeps, but a stop ends it at once.
void Pause(std::chrono::milliseconds ms) {
  const auto until = std::chrono::steady_clock::now() + ms;
  while (!StopAsked() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

std::string StartTime() {
  const std::tm local = LocalTime(std::time(nullptr));
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// The update, exactly as `update` runs it (in re-write mode at `reWriteRate`
// when that is set), with its record when asked.
RunFacts UpdateModule(const CliOptions& options, Console& console, std::int32_t reWriteRate) {
  CliOptions run = options;
  run.command = Command::Update;
  run.quiet = true;  // the station shows the progress and the outcome
  run.reportFile.clear();
  // Each run's report names the station.
  run.reportStation = StationName(options);
  run.reWrite = reWriteRate != 0;
  if (run.reWrite) run.speed = reWriteRate;
  RunFacts facts;
  facts.port = run.port;
  try {
    if (run.logDir.empty()) {
      facts = RunOnModule(run, console);
    } else {
      facts.exitStatus = RunWithRecord(run, console, facts);
    }
  } catch (const std::exception& e) {
    console.Message(std::string("error: ") + e.what());
    facts.exitStatus = 1;
  }
  return facts;
}

// The slot's own state between probes: what its machine knows, the rates
// the module last used, and what it last told the station.
struct SlotState {
  SlotState(const CliOptions& o, Console& c) : options(o), console(c) {}
  const CliOptions& options;
  Console& console;
  station::SlotPresence presence;
  std::int32_t moduleRate = 0;
  std::int32_t bootRate = 0;
  station::ModuleIdentity found;
  std::string told;
  bool sharedTold = false;
  bool anyFailed = false;
};

void Tell(SlotState& s, const char* state) {
  if (s.told == state) return;
  s.told = state;
  SendStationEvent({state, {}});
}

// Another port of the station names this slot's device now (a link
// changed): the slot leaves it alone, and says so once.
bool DeviceShared(SlotState& s) {
  for (const auto& [a, b] : station::PortsOfOneDevice(StationPorts())) {
    if (a != s.options.port && b != s.options.port) continue;
    if (!s.sharedTold) s.console.Message("error: " + a + " and " + b + " are one device now; this slot leaves it alone");
    s.sharedTold = true;
    return true;
  }
  s.sharedTold = false;
  return false;
}

station::ProbeResult Probe(SlotState& s) {
  station::ProbeResult probe;
  if (!DeviceShared(s)) {
    const station::ProbePlan plan = station::PlanFor(s.presence, s.moduleRate, s.bootRate);
    probe = station::ProbeModule(s.options.settings, s.options.port, plan, [] { return StopAsked(); });
    probe.identity.romVersion = EscapeText(probe.identity.romVersion);
    probe.identity.modelName = EscapeText(probe.identity.modelName);
  } else {
    probe.kind = ProbeKind::NoPort;
  }
  probe.atMs = NowMs();
  return probe;
}

// Where the run left the module, for the machine.
station::RunEnd EndOf(const RunFacts& facts) {
  if (facts.exitStatus == 0) return station::RunEnd::Ok;
  const ModuleState state = facts.report.moduleState;
  const bool inFirmware = state == ModuleState::Untouched || state >= ModuleState::RunningNewFirmware;
  return inFirmware ? station::RunEnd::FailedInFirmware : station::RunEnd::FailedInBootProgram;
}

void SendDone(const RunFacts& facts, const std::string& start, bool reWrite) {
  const bool ok = facts.exitStatus == 0;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", facts.report.seconds);
  std::string rom = facts.report.romAfter;
  while (!rom.empty() && rom.back() == ' ') rom.pop_back();
  SendStationEvent({"done",
                    {ok ? "OK" : "NG", facts.report.stage, rom, seconds, start, ReportJson(facts),
                     reWrite ? "rewrite" : "update", OutcomeName(facts.report.outcome),
                     ModuleStateName(facts.report.moduleState), std::to_string(facts.report.stopSignal)}});
}

// One run on the module the verdict named, from its "found" to its "done".
void Run(SlotState& s, const station::ProbeResult& probe, bool reWrite) {
  const std::string start = StartTime();
  s.found = probe.identity;
  if (!reWrite) s.moduleRate = probe.rate;
  SendStationEvent({"found",
                    {reWrite ? "boot program" : probe.identity.romVersion, std::to_string(probe.rate),
                     reWrite ? "rewrite" : "update", start}});
  const RunFacts facts = UpdateModule(s.options, s.console, reWrite ? probe.rate : 0);
  SendDone(facts, start, reWrite);
  if (facts.exitStatus != 0) s.anyFailed = true;
  if (facts.report.moduleRate > 0 && facts.report.moduleState >= ModuleState::RunningNewFirmware) {
    s.moduleRate = facts.report.moduleRate;
  }
  s.bootRate = facts.report.bootRate;
  station::ModuleIdentity left = s.found;
  std::string rom = facts.report.romAfter.empty() ? facts.report.romBefore : facts.report.romAfter;
  while (!rom.empty() && rom.back() == ' ') rom.pop_back();
  left.romVersion = rom;
  s.presence.RunEnded(EndOf(facts), left, NowMs());
  s.told.clear();
  // The slot holds the port for its probes: the way back is here, not in
  // another program.
  if (EndOf(facts) == station::RunEnd::FailedInBootProgram && !reWrite && !StopAsked()) {
    s.console.Message("switch the module off and on in its fixture: this slot then updates it in re-write mode");
  }
}

}  // namespace

int RunStationSlot(const CliOptions& options) {
  // From now on a signal asks the slot to stop: a waiting slot ends at
  // once, a run stops before its next frame (see TerminalUi).
  ArmStop();
  Console console(stdout, stderr, false);
  console.SetStageSink([](const std::string& label, int percent) {
    SendStationEvent({"stage", {label, std::to_string(percent)}});
  });
  SlotState s(options, console);
  while (!StopAsked()) {
    const station::ProbeResult probe = Probe(s);
    if (StopAsked()) break;
    const bool empty = s.presence.CurrentPhase() == station::SlotPresence::Phase::Empty;
    const Verdict verdict = s.presence.Feed(probe);
    if (verdict == Verdict::Update || verdict == Verdict::ReWrite) {
      Run(s, probe, verdict == Verdict::ReWrite);
      continue;
    }
    if (verdict == Verdict::Gone) {
      SendStationEvent({"gone", {probe.kind == ProbeKind::NoPort ? "port" : "silent"}});
      s.told.clear();
    }
    if (empty || verdict == Verdict::Gone) Tell(s, probe.kind == ProbeKind::NoPort ? "waiting" : "searching");
    if (probe.kind == ProbeKind::NoPort) {
      Pause(kPortLookPause);
    } else {
      Pause(s.presence.CurrentPhase() == station::SlotPresence::Phase::Present ? kPresencePause : kSearchPause);
    }
  }
  return s.anyFailed ? 1 : 0;
}

}  // namespace kv9::cli
