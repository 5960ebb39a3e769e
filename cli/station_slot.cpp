// One slot of a station: wait, search quietly, update, record, wait until
// the module is gone; again until a stop is asked.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <optional>
#include <thread>

#include "cli/broker_link.h"
#include "cli/host_os.h"
#include "cli/module_run.h"
#include "cli/recorded_run.h"
#include "cli/signals.h"
#include "cli/station.h"
#include "cli/station_probe.h"

namespace kv9::cli {
namespace {

// How often a slot looks again while its port is missing, and between two
// searches of a port where nothing answered. A search itself waits up to a
// second at each of the module's four rates.
constexpr auto kPortLookPause = std::chrono::milliseconds(200);
constexpr auto kSearchPause = std::chrono::milliseconds(300);
// Between two questions to a module that stays after its update.
constexpr auto kPresencePause = std::chrono::milliseconds(500);

// Sleeps, but a stop ends it at once.
void Pause(std::chrono::milliseconds ms) {
  const auto until = std::chrono::steady_clock::now() + ms;
  while (!StopAsked() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string StartTime() {
  const std::tm local = LocalTime(std::time(nullptr));
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// Waits until a module answers on the port; nothing when a stop was asked.
std::optional<ProbeAnswer> WaitForModule(const CliOptions& options, std::int32_t lastRate) {
  std::string told;
  auto tell = [&told](const char* state) {
    if (told == state) return;
    told = state;
    SendStationEvent({state, {}});
  };
  while (!StopAsked()) {
    if (!PortPresent(options.port)) {
      tell("waiting");
      Pause(kPortLookPause);
      continue;
    }
    tell("searching");
    if (auto answer = ProbeModule(options, options.port, lastRate)) return answer;
    Pause(kSearchPause);
  }
  return std::nullopt;
}

// Waits until the module is gone: its port vanished ("port"), or it did not
// answer the ROM version query at its rate, a few seconds of silence
// ("silent"). "" when a stop was asked first.
std::string WaitUntilGone(const CliOptions& options, std::int32_t rate) {
  while (!StopAsked()) {
    if (!PortPresent(options.port)) return "port";
    if (!ProbeModule(options, options.port, rate, true)) return StopAsked() ? "" : "silent";
    Pause(kPresencePause);
  }
  return {};
}

// The update, exactly as `update` runs it, with its record when asked.
RunFacts UpdateModule(const CliOptions& run, Console& console) {
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

void SendDone(const RunFacts& facts, const std::string& start) {
  const bool ok = facts.exitStatus == 0;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", facts.report.seconds);
  std::string rom = facts.report.romAfter;
  while (!rom.empty() && rom.back() == ' ') rom.pop_back();
  SendStationEvent({"done", {ok ? "OK" : "NG", facts.report.stage, rom, seconds, start, ReportJson(facts)}});
}

}  // namespace

int RunStationSlot(const CliOptions& options) {
  // From now on a signal asks the slot to stop: a waiting slot ends at
  // once, a run stops before its next frame (see TerminalUi).
  ArmStop();
  CliOptions run = options;
  run.command = Command::Update;
  run.quiet = true;  // the station shows the progress and the outcome
  run.reportFile.clear();
  // Hook: each run's report names the station.
  run.reportStation = StationName(options);
  Console console(stdout, stderr, false);
  console.SetStageSink([](const std::string& label, int percent) {
    SendStationEvent({"stage", {label, std::to_string(percent)}});
  });
  bool anyFailed = false;
  std::int32_t rate = 0;
  while (!StopAsked()) {
    const std::optional<ProbeAnswer> answer = WaitForModule(options, rate);
    if (!answer) break;
    rate = answer->rate;
    const std::string start = StartTime();
    SendStationEvent({"found", {answer->romVersion, std::to_string(answer->rate)}});
    const RunFacts facts = UpdateModule(run, console);
    SendDone(facts, start);
    if (facts.exitStatus != 0) anyFailed = true;
    const std::string gone = WaitUntilGone(options, rate);
    if (gone.empty()) break;
    SendStationEvent({"gone", {gone}});
  }
  return anyFailed ? 1 : 0;
}

}  // namespace kv9::cli
