#include "cli/module_run.h"

#include <cstring>
#include <exception>

#include "cli/image_info.h"
#include "cli/run_report.h"
#include "cli/signals.h"
#include "cli/terminal_ui.h"
#include "link/eeprom_backup.h"
#include "fleet/clock_text.h"
#include "fleet/report_identity.h"
#include "link/eeprom_restore.h"
#include "link/firmware_backup.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/ticks.h"

namespace kv9::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

std::string ModuleText(const std::array<char, 10>& field) {
  return EscapeText(std::string(field.data(), ::strnlen(field.data(), 9)));
}

// What every step of one run shares.
struct ModuleRun {
  const CliOptions& options;
  Console& console;
  StdoutLogPane pane;
  TerminalUi ui;
  TFlashWrRXCont cont;
  RunFacts facts;
  bool updateRan = false;  // the sequence ran: the summary tells how it went
  bool noModule = false;   // ports opened, and no module answered the search
  EepromFileSource fileSource;  // restore --from / --roll-back: the file, read and checked
  fleet::ReportIdentity identity;  // the report's schema-2 members

  ModuleRun(const CliOptions& o, Console& c, const TProgSettings& settings)
      : options(o), console(c), pane(&c, o), ui(o, &c), cont(&ui, &pane, settings),
        identity(fleet::StartIdentity(o.reportStation)) {
    facts.port = o.port;
    cont.DebugLog = o.debug;
    cont.TxLog = o.txLog;
    cont.RxLog = o.rxLog;
  }
  LogLineFn Log() {
    return [this](const std::string& text, int force) { AppendLogLine(&pane, options.debug, text, force); };
  }
  int Refuse(const std::string& message) {
    ui.ShowMessage(message);
    facts.report.outcome = UpdateOutcome::Refused;
    return kExitUsage;
  }
};

// A copy that cannot be written where it was asked for (a mistyped
// folder, a full disk, the image file itself) is bad input: refused before
// discovery sends its first frame.
int CheckBackupTarget(ModuleRun& run) {
  const UpdateOptions& update = run.options.update;
  if (run.options.command != Command::Update || update.FirmwareBackup.empty()) return kExitOk;
  const FirmwareBackupRequest request{.target = update.FirmwareBackup,
                                      .makeFolder = update.FirmwareBackupMakeFolder != 0};
  const std::string problem = FirmwareBackupTargetProblem(
      request, FirmwareBackupBytes(run.cont, update.UserBootMode), run.options.imageFile);
  return problem.empty() ? kExitOk : run.Refuse(FirmwareBackupRefusal(problem));
}

// The image the run programs: the built-in one, or the file given.
int LoadImage(ModuleRun& run) {
  run.cont.LoadEmbeddedImage();
  const std::string& file = run.options.imageFile;
  if (!file.empty()) {
    const std::size_t messagesBefore = run.ui.MessagesShown();
    const int loaded = run.cont.LoadImageFile(file);
    AppendLogLine(&run.pane, run.options.debug, loaded ? "OK: Read ROM Data" : "NG: Read ROM Data", 1);
    if (!loaded) {
      // Every refusal says why on stderr, also those the window only logs.
      if (run.ui.MessagesShown() == messagesBefore) return run.Refuse(file + ": " + run.cont.ImageLoadProblem);
      run.facts.report.outcome = UpdateOutcome::Refused;
      return kExitUsage;
    }
  }
  // An image for another area than the settings describe is refused before
  // any port is opened.
  if (const std::string problem = ImageAreaProblem(run.cont);
      !problem.empty() && run.options.command == Command::Update) {
    return run.Refuse(problem);
  }
  run.ui.SetAreaStart(run.cont.RomStart);
  // The image's identity for the report, once it is the one to program.
  run.identity.image = fleet::IdentifyImage(run.cont.Image, file);
  return CheckBackupTarget(run);
}

// Discovery as the window runs it at start; the port it found becomes the
// run's port (with --auto it is rarely the one named).
int FindModule(ModuleRun& run, const TProgSettings& settings) {
  const int found = run.cont.OpenAtStartup(settings.WriteSpeedIndex);
  if (run.ui.PortMissing()) {
    run.console.Message("error: no port " + run.options.port + " on this machine (kv9flash ports lists them)");
    run.facts.report.outcome = UpdateOutcome::Refused;
    return kExitUsage;
  }
  run.cont.ConfirmModule(found);
  run.noModule = !found && !run.cont.ReWriteMode && !run.cont.SearchOpenedNoPort;
  if (found && run.ui.Settings().PortNumber > 0) run.facts.port = "COM" + std::to_string(run.ui.Settings().PortNumber);
  if (!run.cont.ReWriteMode) {
    run.facts.module = ModuleText(run.cont.ModelName);
    run.facts.report.romBefore = ModuleText(run.cont.RomVersion);
  }
  return run.cont.ModuleSupported ? kExitOk : kExitFailed;
}

int RunUpdate(ModuleRun& run) {
  std::int32_t failStage = 0;
  std::string escaped;
  run.updateRan = true;
  run.facts.report = RunFirmwareUpdate(run.cont, run.ui.Settings(), run.options.update, run.Log(), failStage, &escaped);
  // What the desktop tool shows in its error box, after the failure closing.
  if (!escaped.empty()) run.console.Message("error: " + escaped);
  if (run.facts.report.outcome == UpdateOutcome::Refused) return kExitUsage;
  const UpdateOutcome outcome = run.facts.report.outcome;
  return outcome == UpdateOutcome::Ok || outcome == UpdateOutcome::Skipped ? kExitOk : kExitFailed;
}

// The backup file of restore --from or --roll-back, read and checked before
// any port is opened: a file that is not whole or fails its check is bad
// input, and the module is never asked for anything.
int LoadBackupFile(ModuleRun& run) {
  const CliOptions& o = run.options;
  EepromFileSource& source = run.fileSource;
  source.rollBack = !o.rollBackFrom.empty();
  source.path = source.rollBack ? o.rollBackFrom : o.restoreFrom;
  std::string error;
  if (!ReadEepromBackup(source.path, source.content, error)) return run.Refuse(error);
  source.allowOtherModule = [&run](const std::string& why) {
    if (run.options.otherModule) return true;
    run.console.Message("error: " + why + "; --other-module writes it all the same");
    return false;
  };
  return kExitOk;
}

// The factory-setting step alone, or continued from a backup file, or the
// EEPROM roll-back.
int RunRestore(ModuleRun& run) {
  const std::string romBefore = run.facts.report.romBefore;
  const bool fromFile = !run.fileSource.path.empty();
  run.facts.report = RunRestoreStep(run.cont, run.options.update.InitScanMode, fromFile ? &run.fileSource : nullptr,
                                    run.Log());
  run.facts.report.romBefore = romBefore;
  run.cont.ClosePort();
  const UpdateOutcome outcome = run.facts.report.outcome;
  return outcome == UpdateOutcome::Ok ? kExitOk : outcome == UpdateOutcome::Refused ? kExitUsage : kExitFailed;
}

// The closing summary and, after a failure, the command that continues.
void CloseRun(ModuleRun& run, int status) {
  UpdateReport& r = run.facts.report;
  const int stopSignal = StopSignal();
  r.stopSignal = stopSignal;
  r.romAfter = EscapeText(r.romAfter);
  if (run.updateRan && !run.options.quiet) {
    RunSummary summary;
    summary.ok = r.outcome == UpdateOutcome::Ok;
    summary.port = run.facts.port;
    summary.module = run.facts.module;
    summary.romBefore = r.romBefore;
    summary.romAfter = r.romAfter;
    summary.programmed = r.writeCompleted;
    summary.bytes = r.writeCompleted ? r.bytesProgrammed : r.areaPassed;
    summary.seconds = r.seconds;
    summary.moduleCrc = r.crcModule;
    summary.imageCrc = static_cast<std::uint16_t>(r.crcImage < 0 ? 0 : r.crcImage);
    summary.stopSignal = stopSignal;
    summary.skipped = r.outcome == UpdateOutcome::Skipped;
    summary.firmwareBackup = r.firmwareBackup;
    std::string text = SummaryText(summary);
    text.pop_back();
    run.console.Message(text);
  }
  if (run.noModule) {
    const std::string port = run.options.autoCheck ? std::string("COMn") : run.facts.port;
    run.console.Message("if a failed update left the module in its boot program, reach it with: " +
                        ContinueCommand(run.options, port, run.options.speed, NextStep::ReWrite));
  }
  if (status == kExitFailed && r.next != NextStep::None) {
    run.facts.continueWith = ContinueCommand(run.options, run.facts.port, run.ui.Settings().BitRate, r.next,
                                             r.restoreFile.empty() ? r.eepromBackup : r.restoreFile, r.otherModule);
    if (r.powerCycleFirst) {
      run.console.Message("first switch the module off and on: its boot program still runs the broken-off session");
    }
    run.console.Message("continue with: " + run.facts.continueWith);
  }
  run.facts.exitStatus = stopSignal && status == kExitFailed ? 128 + stopSignal : status;
  // The report's schema-2 members, now that the run has ended.
  run.identity.end = fleet::IsoTimeNow();
  if (run.identity.image.source.empty()) run.identity.image.source = fleet::ImageSource(run.options.imageFile);
  run.facts.identityMembers = fleet::IdentityMembers(run.identity);
}

}  // namespace

RunFacts RunOnModule(const CliOptions& options, Console& console) {
  // As the desktop tool does at start: on Windows every 10 ms poll of a
  // reply wait would otherwise last a whole 15.6 ms timer period.
  RaiseTimerResolution();
  TProgSettings settings = options.settings;
  if (options.reWrite) settings.BitRate = options.speed;
  ModuleRun run(options, console, settings);
  int status = LoadImage(run);
  const bool withFile = !options.restoreFrom.empty() || !options.rollBackFrom.empty();
  if (status == kExitOk && options.command == Command::Restore && withFile) status = LoadBackupFile(run);
  if (status == kExitOk) status = FindModule(run, settings);
  if (status == kExitOk && options.command == Command::Version) run.facts.report.outcome = UpdateOutcome::Ok;
  if (status == kExitOk && options.command == Command::Update) status = RunUpdate(run);
  if (status == kExitOk && options.command == Command::Restore) status = RunRestore(run);
  CloseRun(run, status);
  return run.facts;
}

}  // namespace kv9::cli
