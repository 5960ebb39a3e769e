#include "cli/station_probe.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "cli/console.h"
#include "cli/signals.h"
#include "image/image_area.h"
#include "link/flash_wr_rx_cont.h"
#include "link/module_rates.h"
#include "serial/port_table.h"

namespace kv9::cli {
namespace {

// A front end that shows nothing: a slot looking for its module must not
// fill the screen with "not found" while the bench is empty.
class SilentUi : public LinkUi {
 public:
  void ShowMessage(const std::string&) override {}
  void ShowError(const std::string&) override {}
  void ShowModuleError(const std::string&) override {}
  PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest&, std::int32_t&) override { return {}; }
  void ShowSearchProgress(const std::string&, const std::string&) override {}
  void SetSearchLabel(const std::string&) override {}
  void CloseSearchProgress() override {}
  void DisableUpdateCommands() override {}
  void CloseMainWindow() override {}
  void CopySettingsBack(const TProgSettings&) override {}
  void SetMainWindowEnabled(bool) override {}
  void SetStageTitle(const std::string&) override {}
  void ShowUpdateProgress() override {}
  void SetUpdateProgressLabel(const std::string&) override {}
  void SetUpdateProgressMessage(const std::string&) override {}
  void ShowUpdateResult(bool) override {}
  void CloseUpdateProgress() override {}
  void PlayResultSound(bool) override {}
  void SetGauge(int) override {}
  void SetAddress(const std::string&) override {}
  bool StopRequested() const override { return StopAsked(); }
};

class SilentPane : public LogPane {
 public:
  int LineCount() const override { return 0; }
  void Clear() override {}
  void AppendLine(const std::string&) override {}
};

std::vector<std::int32_t> RateOrder(std::int32_t firstRate) {
  std::vector<std::int32_t> rates(kSinglePortRateOrder.begin(), kSinglePortRateOrder.end());
  const auto it = std::find(rates.begin(), rates.end(), firstRate);
  if (it != rates.end()) std::rotate(rates.begin(), it, it + 1);
  return rates;
}

}  // namespace

bool PortPresent(const std::string& port) { return !PortDevicePath(port).empty(); }

std::optional<ProbeAnswer> ProbeModule(const CliOptions& options, const std::string& port, std::int32_t firstRate,
                                       bool onlyFirstRate) {
  const auto number = ComPortNumber(port);
  if (!number) return std::nullopt;
  SilentUi ui;
  SilentPane pane;
  TProgSettings settings = options.settings;
  settings.PortNumber = *number;
  TFlashWrRXCont cont(&ui, &pane, settings);
  std::vector<std::int32_t> rates = RateOrder(firstRate);
  if (onlyFirstRate) rates.resize(1);
  for (const std::int32_t rate : rates) {
    if (StopAsked()) break;
    cont.ReopenAtRate(static_cast<std::uint8_t>(*number), StrToBaudRate(std::to_string(rate)));
    // A port that does not open now (gone again, held by someone) is not a
    // module to update.
    if (!cont.CommX1.Connected()) break;
    if (cont.CheckLink()) {
      ProbeAnswer answer;
      std::string rom(cont.RomVersion.data(), ::strnlen(cont.RomVersion.data(), 9));
      while (!rom.empty() && rom.back() == ' ') rom.pop_back();
      answer.romVersion = EscapeText(rom);
      answer.rate = rate;
      cont.ClosePort();
      return answer;
    }
  }
  cont.ClosePort();
  return std::nullopt;
}

std::string StationImageProblem(const CliOptions& options) {
  SilentUi ui;
  SilentPane pane;
  TFlashWrRXCont cont(&ui, &pane, options.settings);
  cont.LoadEmbeddedImage();
  if (!options.imageFile.empty() && !cont.LoadImageFile(options.imageFile)) {
    return options.imageFile + ": " + cont.ImageLoadProblem;
  }
  return ImageAreaProblem(cont);
}

}  // namespace kv9::cli
