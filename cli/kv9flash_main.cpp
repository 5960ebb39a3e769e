// kv9flash: the one-click update, the module's ROM version and the port list
// from a terminal, on the same controller and sequence as the desktop tool.
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "cli/cli_options.h"
#include "cli/terminal_ui.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
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

int Run(const kv9::cli::CliOptions& options) {
  if (options.command == kv9::cli::Command::Ports) return ListPorts();

  kv9::cli::StdoutLogPane pane(stdout);
  kv9::cli::TerminalUi ui(options, stderr, ::isatty(STDERR_FILENO) != 0);
  kv9::TProgSettings settings = options.settings;
  if (options.reWrite) settings.BitRate = options.speed;
  kv9::TFlashWrRXCont cont(&ui, &pane, settings);
  cont.DebugLog = options.debug;
  cont.TxLog = options.txLog;
  cont.RxLog = options.rxLog;
  cont.LoadEmbeddedImage();
  auto log = [&](const std::string& text, int force) { kv9::AppendLogLine(&pane, options.debug, text, force); };

  if (!options.imageFile.empty()) {
    const std::size_t messagesBefore = ui.MessagesShown();
    const int loaded = cont.LoadImageFile(options.imageFile);
    log(loaded ? "OK: Read ROM Data" : "NG: Read ROM Data", 1);
    if (!loaded) {
      // Every refusal says why on stderr, also those the window only logs.
      if (ui.MessagesShown() == messagesBefore) ui.ShowMessage(options.imageFile + ": " + cont.ImageLoadProblem);
      return kExitUsage;
    }
  }
  // An image for another area than the settings describe is refused before
  // any port is opened.
  if (const std::string problem = kv9::ImageAreaProblem(cont); !problem.empty() && options.command != kv9::cli::Command::Version) {
    ui.ShowMessage(problem);
    return kExitUsage;
  }

  const int found = cont.OpenAtStartup(settings.WriteSpeedIndex);
  if (ui.PortMissing()) {
    std::fprintf(stderr, "error: no port %s on this machine (kv9flash ports lists them)\n", options.port.c_str());
    return kExitUsage;
  }
  cont.ConfirmModule(found);
  if (!cont.ModuleSupported) return kExitFailed;
  if (options.command == kv9::cli::Command::Version) return cont.ReWriteMode ? kExitFailed : kExitOk;

  std::int32_t failStage = 0;
  const int ok = kv9::RunFirmwareUpdate(cont, ui.Settings(), options.update, log, failStage);
  return ok ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  const kv9::cli::ParseResult parsed = kv9::cli::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::fprintf(stderr, "error: %s\n%s", parsed.error.c_str(), kv9::cli::UsageText());
    return kExitUsage;
  }
  if (parsed.options->help) {
    std::printf("%s", kv9::cli::UsageText());
    return kExitOk;
  }
  try {
    return Run(*parsed.options);
  } catch (const std::exception& e) {
    // What the desktop tool shows in its error box.
    std::fprintf(stderr, "error: %s\n", e.what());
    return kExitFailed;
  }
}
