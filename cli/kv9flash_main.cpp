// kv9flash: the one-click update, the module's ROM version, the factory
// restore, the port list and what an image holds, from a terminal, on the
// same controller and sequence as the desktop tool.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>

#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/host_os.h"
#include "cli/image_info.h"
#include "cli/module_run.h"
#include "cli/report_json.h"
#include "cli/run_record.h"
#include "cli/several_ports.h"
#include "cli/signals.h"
#include "cli/terminal_ui.h"
#include "image/image_area.h"
#include "kv9_version.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/atomic_file.h"
#include "serial/port_table.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int ListPorts() {
  for (const kv9::PortEntry& entry : kv9::ReadPortTable()) {
    std::printf("%s\t%s\t%s\n", entry.name.c_str(), entry.device.c_str(), entry.description.c_str());
  }
  return kExitOk;
}

// The settings of this run, for its record.
std::string SettingsLine(const kv9::cli::CliOptions& o) {
  std::string line = "settings: --port " + o.port;
  if (o.autoCheck) line += " --auto";
  if (o.reWrite) line += " --rewrite --speed " + std::to_string(o.speed);
  for (const std::string& a : kv9::cli::SettingsArguments(o)) line += " " + a;
  const kv9::TProgSettings& s = o.settings;
  char rest[160];
  std::snprintf(rest, sizeof rest, " (cpu code %d, ROM size %s, boot rate %d, %.2f MHz x%d x%d, reset wait %d ms)",
                s.CpuCode, kv9::kRomSizeNames[s.RomSizeIndex], s.BootBitRate, static_cast<double>(s.InputFreqMHz),
                s.Multiplier1, s.Multiplier2, o.update.ResetWaitMs);
  return line + rest;
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

// A file that a production line reads must be whole or missing: an error
// that costs the run its exit status 0, never silence.
int Worse(int status, int failure) { return status == kExitOk ? failure : status; }

int WriteReport(const std::string& path, const kv9::cli::RunFacts& facts, kv9::cli::Console& console, int status) {
  std::string error;
  if (kv9::WriteFileAtomically(path, kv9::cli::ReportJson(facts) + "\n", error)) return status;
  console.Message("error: report not written: " + error);
  return Worse(status, kExitFailed);
}

// With --auto the record was named before the port was known.
std::string RecordPathFor(const std::string& path, const std::string& named, const std::string& used) {
  if (named == used) return path;
  const std::string suffix = "-" + named + ".log";
  if (path.size() < suffix.size() || path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) return path;
  std::string renamed = path.substr(0, path.size() - suffix.size()) + "-" + used + ".log";
  std::error_code ec;
  if (std::filesystem::exists(renamed, ec)) return path;
  std::filesystem::rename(path, renamed, ec);
  return ec ? path : renamed;
}

// The run with its record in the log folder: every line with its time, the
// settings, the outcome, and the report object beside it.
int RunWithRecord(const kv9::cli::CliOptions& options, kv9::cli::Console& console, kv9::cli::RunFacts& facts) {
  std::string path, error;
  std::FILE* record = kv9::cli::OpenRunRecord(options.logDir, options.port, &path, &error);
  if (!record) {
    console.Message("error: no run record: " + error);
    return kExitUsage;
  }
  console.SetRecord(record);
  console.RecordOnly(std::string("kv9flash ") + KV9_PRODUCT_VERSION);
  console.RecordOnly(SettingsLine(options));
  try {
    facts = kv9::cli::RunOnModule(options, console);
  } catch (const std::exception& e) {
    console.Message(std::string("error: ") + e.what());
    facts.exitStatus = kExitFailed;
  }
  const int stopSignal = kv9::cli::StopSignal();
  console.RecordOnly(std::string("outcome: ") + (facts.exitStatus == kExitOk ? "OK" : "NG") + " (exit status " +
                     std::to_string(facts.exitStatus) + ")" +
                     (stopSignal ? ", signal " + std::to_string(stopSignal) + " received" : ""));
  console.SetRecord(nullptr);
  const bool closed = std::fclose(record) == 0;
  int status = facts.exitStatus;
  if (console.RecordError() != 0 || !closed) {
    const int code = console.RecordError() ? console.RecordError() : errno;
    console.Message("error: run record incomplete: " + path + ": " + std::strerror(code));
    status = Worse(status, kExitFailed);
  }
  path = RecordPathFor(path, options.port, facts.port);
  const std::string json = path.substr(0, path.size() - 4) + ".json";
  return WriteReport(json, facts, console, status);
}

int Run(const kv9::cli::CliOptions& options, kv9::cli::RunFacts& facts) {
  if (options.command == kv9::cli::Command::Ports) return ListPorts();
  const bool progress = !options.quiet && kv9::cli::StderrIsTerminal();
  kv9::cli::Console console(stdout, stderr, progress);
  kv9::cli::SetProgressOnTerminal(progress);
  if (options.command == kv9::cli::Command::Info) return ShowImageInfo(options, console);
  int status = kExitOk;
  if (options.logDir.empty()) {
    facts = kv9::cli::RunOnModule(options, console);
    status = facts.exitStatus;
  } else {
    status = RunWithRecord(options, console, facts);
  }
  if (!options.reportFile.empty()) status = WriteReport(options.reportFile, facts, console, status);
  // A log that did not reach its file is lost; a reader that closed its
  // pipe (`| head`) chose not to read on.
  if (console.OutError() != 0 && console.OutError() != EPIPE) {
    console.Message(std::string("error: log lines not written to standard output: ") +
                    std::strerror(console.OutError()));
    status = Worse(status, kExitFailed);
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
