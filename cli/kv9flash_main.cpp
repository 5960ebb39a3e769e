// kv9flash: the one-click update, the module's ROM version, the port list and
// what an image holds, from a terminal, on the same controller and sequence
// as the desktop tool.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/host_os.h"
#include "cli/image_info.h"
#include "cli/run_record.h"
#include "cli/run_report.h"
#include "cli/several_ports.h"
#include "cli/signals.h"
#include "cli/terminal_ui.h"
#include "image/image_area.h"
#include "kv9_version.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/ticks.h"
#include "serial/port_table.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The lines of the sequence that tell where the module stands.
constexpr char kHandshakeOk[] = "書込設定   : OK";
constexpr char kHandshakeNg[] = "書込設定   : NG";
constexpr char kCheckOk[] = "ベリファイ : OK";
constexpr char kWriteOk[] = "ライト     : OK";
constexpr char kWriteNg[] = "ライト     : NG";
constexpr char kRomVersionLine[] = "ROM Verision : ";

int ListPorts() {
  for (const kv9::PortEntry& entry : kv9::ReadPortTable()) {
    std::printf("%s\t%s\t%s\n", entry.name.c_str(), entry.device.c_str(),
                entry.description.c_str());
  }
  return kExitOk;
}

std::string ModuleText(const std::array<char, 10>& field) {
  return kv9::cli::EscapeText(std::string(field.data(), ::strnlen(field.data(), 9)));
}

// The settings of this run, for its record.
std::string SettingsLine(const kv9::cli::CliOptions& o) {
  std::string line = "settings: --port " + o.port;
  if (o.autoCheck) line += " --auto";
  if (o.reWrite) line += " --rewrite --speed " + std::to_string(o.speed);
  for (const std::string& a : kv9::cli::SettingsArguments(o)) line += " " + a;
  const kv9::TProgSettings& s = o.settings;
  char rest[160];
  std::snprintf(rest, sizeof rest,
                " (cpu code %d, ROM size %s, boot rate %d, %.2f MHz x%d x%d, reset wait %d ms)",
                s.CpuCode, kv9::kRomSizeNames[s.RomSizeIndex], s.BootBitRate,
                static_cast<double>(s.InputFreqMHz), s.Multiplier1, s.Multiplier2,
                o.update.ResetWaitMs);
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

// Finds the module and runs the command on it; every line goes through `console`.
int RunOnModule(const kv9::cli::CliOptions& options, kv9::cli::Console& console,
                kv9::cli::PortRow& row) {
  using kv9::cli::ModuleState;
  // As the desktop tool does at start: on Windows every 10 ms poll of a
  // reply wait would otherwise last a whole 15.6 ms timer period.
  kv9::RaiseTimerResolution();
  kv9::cli::StdoutLogPane pane(&console, options);
  kv9::cli::TerminalUi ui(options, &console);
  kv9::TProgSettings settings = options.settings;
  if (options.reWrite) settings.BitRate = options.speed;
  kv9::TFlashWrRXCont cont(&ui, &pane, settings);
  cont.DebugLog = options.debug;
  cont.TxLog = options.txLog;
  cont.RxLog = options.rxLog;
  cont.LoadEmbeddedImage();

  if (!options.imageFile.empty()) {
    const std::size_t messagesBefore = ui.MessagesShown();
    const int loaded = cont.LoadImageFile(options.imageFile);
    kv9::AppendLogLine(&pane, options.debug, loaded ? "OK: Read ROM Data" : "NG: Read ROM Data", 1);
    if (!loaded) {
      // Every refusal says why on stderr, also those the window only logs.
      if (ui.MessagesShown() == messagesBefore) ui.ShowMessage(options.imageFile + ": " + cont.ImageLoadProblem);
      return kExitUsage;
    }
  }
  // An image for another area than the settings describe is refused before
  // any port is opened.
  if (const std::string problem = kv9::ImageAreaProblem(cont);
      !problem.empty() && options.command != kv9::cli::Command::Version) {
    ui.ShowMessage(problem);
    return kExitUsage;
  }
  ui.SetAreaStart(cont.RomStart);

  const int found = cont.OpenAtStartup(settings.WriteSpeedIndex);
  if (ui.PortMissing()) {
    console.Message("error: no port " + options.port +
                    " on this machine (kv9flash ports lists them)");
    return kExitUsage;
  }
  cont.ConfirmModule(found);
  if (!cont.ReWriteMode) {
    row.module = ModuleText(cont.ModelName);
    row.romBefore = ModuleText(cont.RomVersion);
  }
  if (!cont.ModuleSupported) return kExitFailed;
  if (options.command == kv9::cli::Command::Version) {
    row.outcome = "OK";
    return kExitOk;
  }

  // Where the module stands, followed through the sequence's own lines.
  ModuleState state = cont.ReWriteMode ? ModuleState::InBootMode : ModuleState::Untouched;
  bool programmed = false;
  bool romRead = false;
  long reached = 0;
  auto log = [&](const std::string& text, int force) {
    kv9::AppendLogLine(&pane, options.debug, text, force);
    if (text == kHandshakeOk || text == kHandshakeNg) state = ModuleState::InBootMode;
    if (text == kWriteOk) programmed = true;
    if (text.rfind(kRomVersionLine, 0) == 0) romRead = true;
    if (text == kWriteNg) reached = std::max(ui.BytesReached(), 0L);
    if (text == kCheckOk) {
      state = ModuleState::NewFirmware;
      ui.EndStopWindow();
    }
  };

  const auto start = std::chrono::steady_clock::now();
  std::int32_t failStage = 0;
  int ok = 0;
  try {
    ok = kv9::RunFirmwareUpdate(cont, ui.Settings(), options.update, log, failStage);
  } catch (const std::exception& e) {
    // What the desktop tool shows in its error box, after the failure closing.
    console.Message(std::string("error: ") + e.what());
    ok = 0;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int stopSignal = kv9::cli::StopSignal();

  kv9::cli::RunSummary summary;
  summary.ok = ok != 0;
  summary.port = options.port;
  summary.module = row.module;
  summary.romBefore = row.romBefore;
  if (romRead) summary.romAfter = ModuleText(cont.RomVersion);
  summary.programmed = programmed;
  summary.bytes =
      programmed ? kv9::cli::ProgrammedBytes(cont) : static_cast<std::uint32_t>(reached);
  summary.seconds = seconds;
  summary.moduleCrc = cont.LoaderCrc;
  summary.imageCrc = cont.ImageCrc();
  summary.stopSignal = stopSignal;
  if (!options.quiet) {
    std::string text = kv9::cli::SummaryText(summary);
    text.pop_back();
    console.Message(text);
  }
  if (!ok) {
    console.Message("continue with: " +
                    kv9::cli::ContinueCommand(options, options.port, ui.Settings().BitRate, state));
  }
  row.romAfter = summary.romAfter;
  row.outcome = ok ? "OK" : "NG";
  if (stopSignal && !ok) return 128 + stopSignal;
  return ok ? kExitOk : kExitFailed;
}

int Run(const kv9::cli::CliOptions& options, kv9::cli::PortRow& row) {
  if (options.command == kv9::cli::Command::Ports) return ListPorts();

  const bool progress = !options.quiet && kv9::cli::StderrIsTerminal();
  kv9::cli::Console console(stdout, stderr, progress);
  kv9::cli::SetProgressOnTerminal(progress);
  if (options.command == kv9::cli::Command::Info) return ShowImageInfo(options, console);
  if (options.logDir.empty()) return RunOnModule(options, console, row);

  std::string path, error;
  std::FILE* record = kv9::cli::OpenRunRecord(options.logDir, options.port, &path, &error);
  if (!record) {
    console.Message("error: no run record: " + error);
    return kExitUsage;
  }
  console.SetRecord(record);
  console.RecordOnly(std::string("kv9flash ") + KV9_PRODUCT_VERSION);
  console.RecordOnly(SettingsLine(options));
  int status = kExitFailed;
  try {
    status = RunOnModule(options, console, row);
  } catch (const std::exception& e) {
    console.Message(std::string("error: ") + e.what());
  }
  const int stopSignal = kv9::cli::StopSignal();
  console.RecordOnly(std::string("outcome: ") + (status == kExitOk ? "OK" : "NG") +
                     " (exit status " + std::to_string(status) + ")" +
                     (stopSignal ? ", signal " + std::to_string(stopSignal) + " received" : ""));
  console.SetRecord(nullptr);
  std::fclose(record);
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
  if (options.ports.size() > 1 && (options.command == kv9::cli::Command::Update ||
                                   options.command == kv9::cli::Command::Version)) {
    return kv9::cli::RunSeveralPorts(options, args);
  }
  kv9::cli::PortRow row;
  row.port = options.port;
  int status = kExitFailed;
  try {
    status = Run(options, row);
  } catch (const std::exception& e) {
    // What the desktop tool shows in its error box.
    std::fprintf(stderr, "error: %s\n", e.what());
    status = kExitFailed;
  }
  kv9::cli::ReportRowToParent(row);
  return status;
}
