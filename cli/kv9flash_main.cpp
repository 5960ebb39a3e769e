// kv9flash: the one-click update, the module's ROM version, the factory
// restore, the port list and what an image holds, from a terminal, on the
// same controller and sequence as the desktop tool.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>

#include "cli/broker_link.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/host_os.h"
#include "cli/image_info.h"
#include "cli/module_run.h"
#include "cli/recorded_run.h"
#include "cli/report_json.h"
#include "cli/several_ports.h"
#include "cli/signals.h"
#include "cli/station.h"
#include "cli/terminal_ui.h"
#include "image/image_area.h"
#include "kv9_version.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/atomic_file.h"
#include "serial/port_table.h"
#include "station/child_processes.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int ListPorts() {
  for (const kv9::PortEntry& entry : kv9::ReadPortTable()) {
    std::string line = entry.name + "\t" + entry.device + "\t" + entry.description;
    // The names that stay with the socket or the adapter, for pinning a slot.
    for (const std::string& stable : entry.stableNames) line += "\t" + stable;
    // An adapter that holds replies back (16 ms by default) slows every
    // update; the tool lowers it while it holds the port where the driver lets it.
    if (entry.latencyTimerMs >= 0) line += "\tlatency timer " + std::to_string(entry.latencyTimerMs) + " ms";
    std::printf("%s\n", line.c_str());
  }
  return kExitOk;
}

int ShowImageInfo(const kv9::cli::CliOptions& options, kv9::cli::Console& console) {
  kv9::cli::StdoutLogPane pane(&console, options);
  kv9::cli::TerminalUi ui(options, &console);
  kv9::TFlashWrRXCont cont(&ui, &pane, options.settings);
  cont.LoadEmbeddedImage();
  std::string source = "built-in firmware image (HexData1)";
  if (!options.imageFile.empty()) {
    if (!cont.LoadImageFile(options.imageFile)) {
      if (ui.MessagesShown() == 0) ui.ShowMessage(options.imageFile + ": " + cont.ImageLoadProblem);
      return kExitUsage;
    }
    source = options.imageFile;
  }
  // As for an update: an image whose first byte belongs to another address
  // than the ROM size setting's has no addresses to tell in that area.
  if (const std::string problem = kv9::ImageAreaProblem(cont); !problem.empty()) {
    ui.ShowMessage(problem);
    return kExitUsage;
  }
  std::printf("%s", kv9::cli::ImageInfoText(cont, source).c_str());
  return kExitOk;
}

int Run(const kv9::cli::CliOptions& options, kv9::cli::RunFacts& facts) {
  if (options.command == kv9::cli::Command::Ports) return ListPorts();
  const bool progress = !options.quiet && kv9::cli::StderrIsTerminal();
  kv9::cli::Console console(stdout, stderr, progress);
  kv9::cli::SetProgressOnTerminal(progress);
  if (options.command == kv9::cli::Command::Info) return ShowImageInfo(options, console);
  // The broker (--mqtt) starts before the run, so that reports an
  // earlier run left in the spool go out meanwhile.
  std::unique_ptr<kv9::fleet::ReportPublisher> broker;
  if (!options.mqttUrl.empty()) {
    std::string error;
    if (!(broker = kv9::cli::StartBroker(options, false, error))) {
      console.Message("error: " + error);
      return kExitUsage;
    }
  }
  int status = kExitOk;
  if (options.logDir.empty()) {
    facts = kv9::cli::RunOnModule(options, console);
    status = facts.exitStatus;
  } else {
    status = kv9::cli::RunWithRecord(options, console, facts);
  }
  if (!options.reportFile.empty()) status = kv9::cli::WriteReport(options.reportFile, facts, console, status);
  // The same report object to the broker.
  if (broker) status = kv9::cli::PublishRunReport(*broker, kv9::cli::ReportJson(facts), console, status);
  // A log that did not reach its file is lost; a reader that closed its
  // pipe (`| head`) chose not to read on.
  if (console.OutError() != 0 && console.OutError() != EPIPE) {
    console.Message(std::string("error: log lines not written to standard output: ") +
                    std::strerror(console.OutError()));
    status = kv9::cli::Worse(status, kExitFailed);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  kv9::cli::ParseResult parsed = kv9::cli::ParseCommandLine(args);
  if (!parsed.options) {
    std::fprintf(stderr, "error: %s\n%s", parsed.error.c_str(), kv9::cli::UsageText());
    return kExitUsage;
  }
  kv9::cli::CliOptions& options = *parsed.options;
  if (options.help) {
    std::printf("%s", kv9::cli::UsageText());
    return kExitOk;
  }
  if (options.version) {
    std::printf("kv9flash %s\n", KV9_PRODUCT_VERSION);
    return kExitOk;
  }
  if (options.logDir.empty()) {
    if (const char* dir = std::getenv("KV9FLASH_LOG_DIR")) options.logDir = dir;
  }
  kv9::cli::InstallSignalHandlers();
  // A child of a several-port run or a station is started through
  // /proc/self/exe, which the system would name "exe"; its argv[0] says
  // what it serves ("kv9flash station COM3"), and begins with this name.
  if (kv9::station::ReportDescriptor() >= 0) kv9::cli::NameThisProcess("kv9flash");
  if (options.command == kv9::cli::Command::Station) {
    return kv9::cli::IsStationSlot() ? kv9::cli::RunStationSlot(options) : kv9::cli::RunStation(options, args);
  }
  if (options.ports.size() > 1 &&
      (options.command == kv9::cli::Command::Update || options.command == kv9::cli::Command::Version)) {
    return kv9::cli::RunSeveralPorts(options, args);
  }
  kv9::cli::RunFacts facts;
  facts.port = options.port;
  int status = kExitFailed;
  try {
    status = Run(options, facts);
  } catch (const std::exception& e) {
    // What the desktop tool shows in its error box.
    std::fprintf(stderr, "error: %s\n", e.what());
    status = kExitFailed;
  }
  kv9::cli::PortRow row;
  row.port = facts.port;
  row.module = facts.module;
  row.romBefore = facts.report.romBefore;
  row.romAfter = facts.report.romAfter;
  row.outcome = status == kExitOk ? "OK" : "NG";
  row.json = kv9::cli::ReportJson(facts);
  kv9::cli::ReportRowToParent(row);
  return status;
}
