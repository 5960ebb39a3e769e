// Finding the module: which port it is on and at which bit rate it talks.
#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "link/flash_wr_rx_cont.h"
#include "link/module_rate_search.h"
#include "link/module_rates.h"
#include "platform/message_pump.h"
#include "serial/port_name.h"
#include "serial/port_table.h"

namespace kv9 {
namespace {

constexpr char kSupportedModel[] = "Q508     ";
constexpr char kUnsupportedModelText[] =
    "対応外のR/Wモジュールです。お使いのRW対応のツールをお使いください。";
constexpr char kNotFoundText[] = "R/Wモジュールが見つかりませんでした。";
constexpr char kCheckConnectionText[] = "R/Wの接続を確認してください。";
constexpr char kMaybeInBootProgramText[] =
    "アップデートに失敗したR/Wは、ブートプログラムで待機していることがあります。"
    "その場合は［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。";
constexpr char kReWriteModeText[] = "再書き込みモードで、ファームのアップデートを実行します。";
constexpr char kSearchCaption[] = "しばらくお待ちください";
constexpr char kSearchBanner[] = "------- Check KV9 R/W ----------";
constexpr char kPortDialogCaption[] = "シリアルポートのオープン";

TFlowControl FlowOf(std::int32_t selector) {
  return selector == 1 ? fcHardware : selector == 2 ? fcSoftware : fcNone;
}

TParityBits ParityOf(std::int32_t code) {
  return static_cast<TParityBits>(static_cast<std::uint8_t>(code) % 5);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The port list box keeps its entries sorted as text ignoring case.
void SortLikeTheListBox(std::vector<std::string>& list) {
  std::stable_sort(list.begin(), list.end(), PortNameBefore);
}

}  // namespace

void TFlashWrRXCont::ListComPorts(std::vector<std::string>& list) {
  for (const PortEntry& entry : ReadPortTable()) {
    if (Contains(entry.name, "COM")) list.push_back(entry.name);
  }
}

// One try: the port at one rate, reopened so DTR and RTS drop and rise and
// the ring starts empty; 1 when CheckLink recognises the module. A port other
// than the one open is opened twice, as it always has been.
static int TryPortAtRate(TFlashWrRXCont& cont, int port, std::int32_t rate, const std::string& portLine) {
  cont.Settings.BitRate = rate;
  if (LinkUi* ui = cont.Owner()) ui->SetSearchLabel(portLine + " " + ModuleRateText(rate));
  cont.CommX1.Parity().SetBits(ParityOf(cont.Settings.ParityCode));
  cont.CommX1.FlowControl().SetFlowControl(FlowOf(cont.Settings.FlowMode));
  const auto n = static_cast<std::uint8_t>(port);
  const TBaudRate baudRate = StrToBaudRate(std::to_string(rate));
  if (cont.CommX1.Connected() && cont.CommX1.Port() != "COM" + std::to_string(n)) cont.ReopenAtRate(n, baudRate);
  cont.ReopenAtRate(n, baudRate);
  return cont.CommX1.Connected() && cont.CheckLink() ? 1 : 0;
}

// A port another program holds, or this user may not open, or that has
// no device behind it fails the same way at every rate.
static bool FailsAtEveryRate(const TFlashWrRXCont& cont) {
  return !cont.LastOpenReason.empty() && cont.LastOpenFailure != PortOpenFailure::Other;
}

// One entry of the list at each rate in turn; 1 when the module answered.
// When the port never opened, `unopenedReason` says why (else it is empty:
// a port that opened and did not answer is simply "not found").
static int SearchEntry(TFlashWrRXCont& cont, std::string entry, std::span<const std::int32_t> rates,
                       bool pumpBeforeEachSpeed, std::string& unopenedReason) {
  ProcessMessages();
  if (entry == "0") entry = "COM1";
  const int port = ComNumberOf(entry);
  const std::string portLine = "Check PORT:" + std::to_string(port);
  cont.AddLog(portLine, 0);
  std::string reason;
  bool opened = false;
  const std::int32_t found = SearchModuleRates(rates, [&](std::int32_t rate) {
    if (pumpBeforeEachSpeed) ProcessMessages();
    if (TryPortAtRate(cont, port, rate, portLine)) return RateTry::Answered;
    if (cont.LastOpenReason.empty()) opened = true;
    if (reason.empty()) reason = cont.LastOpenReason;
    return FailsAtEveryRate(cont) ? RateTry::GiveUp : RateTry::Silent;
  });
  if (found) return 1;
  unopenedReason = opened ? std::string() : reason;
  return 0;
}

// The port and rate the module answered at become the settings.
static void TakeFoundModule(TFlashWrRXCont& cont) {
  cont.Settings.PortNumber = ComNumberOf(cont.CommX1.Port());
  cont.Settings.BitRate = static_cast<std::int32_t>(cont.CommX1.EffectiveBaudRate());
  if (LinkUi* ui = cont.Owner()) ui->CopySettingsBack(cont.Settings);
  cont.AddLog("Find KV9 R/W ", 1);
  cont.AddLog("PORT   : " + std::to_string(cont.Settings.PortNumber), 1);
  cont.AddLog("Speed  : " + std::to_string(cont.Settings.BitRate), 1);
}

// The search shared by ScanPorts and ScanSpeeds.
static int Search(TFlashWrRXCont& cont, const std::vector<std::string>& list,
                  std::span<const std::int32_t> rates, bool pumpBeforeEachSpeed) {
  LinkUi* ui = cont.Owner();
  if (ui) ui->ShowSearchProgress(kSearchCaption, kSearchBanner);
  ProcessMessages();
  int found = 0;
  // Each port that could not be opened, once, with its reason.
  std::vector<std::string> unopened;
  std::size_t tried = 0;
  struct Quiet {
    TFlashWrRXCont& cont;
    ~Quiet() { cont.QuietOpen = false; }
  } quiet{cont};
  cont.QuietOpen = true;
  const TComPortHold hold(cont.CommX1);  // each port stays ours across its tries at each speed
  try {
    for (const std::string& entry : list) {
      std::string reason;
      ++tried;
      found = SearchEntry(cont, entry, rates, pumpBeforeEachSpeed, reason);
      if (found) break;
      if (!reason.empty()) {
        cont.AddLog(reason, 1);
        unopened.push_back(reason);
      }
    }
    if (found) TakeFoundModule(cont);
  } catch (const std::exception&) {
    // A bad list entry or a port error ends the search without a module.
    found = 0;
  }
  if (ui) ui->CloseSearchProgress();
  cont.SearchOpenedNoPort = !found && tried > 0 && unopened.size() == tried;
  if (!found && !unopened.empty() && ui) {
    std::string text;
    for (const std::string& line : unopened) text += (text.empty() ? "" : "\n") + line;
    ui->ShowMessage(text);
  }
  return found;
}

int TFlashWrRXCont::ScanPorts(const std::vector<std::string>& list) {
  return Search(*this, list, kModuleRates, false);
}

int TFlashWrRXCont::ScanSpeeds(const std::string& portName) {
  return Search(*this, {portName}, kSinglePortRateOrder, true);
}

int TFlashWrRXCont::IsSupportedModel(int display) {
  if (!ReadModelName(display)) return 0;
  // The whole name must be the model's: "Q508" and then only blanks or zero
  // bytes. Comparing only what was received would take "Q" or "Q5" (a name
  // cut by a zero byte) for this model and put this firmware into another.
  const std::string_view model(kSupportedModel, 4);
  if (std::string_view(ModelName.data(), model.size()) != model) return 0;
  for (std::size_t i = model.size(); i < 9; ++i) {
    if (ModelName[i] != ' ' && ModelName[i] != '\0') return 0;
  }
  return 1;
}

void TFlashWrRXCont::ShowModuleMessage() {
  if (owner_) owner_->ShowModuleError(ModuleMessage);
}

int TFlashWrRXCont::ConfirmModule(int found) {
  int result;
  if (ReWriteMode && !noPortChosen_) {
    ModuleSupported = 1;
    ModuleMessage.clear();
    result = 1;
  } else if (found) {
    if (IsSupportedModel(1)) {
      ModuleSupported = 1;
    } else {
      ModuleMessage = kUnsupportedModelText;
      ModuleSupported = 0;
      ShowModuleMessage();
    }
    result = 1;
  } else {
    ModuleSupported = 0;
    if (owner_) owner_->DisableUpdateCommands();
    ModuleMessage = kNotFoundText;
    AddLog(ModuleMessage, 1);
    if (!SearchOpenedNoPort) {
      AddLog(kCheckConnectionText, 1);
      // A module a failed update left in its boot program answers no
      // search (after a failed check and a power cycle, for one): only
      // re-write mode reaches it.
      if (!ReWriteMode) AddLog(kMaybeInBootProgramText, 1);
    }
    result = 0;
  }
  AddLog("", 0);
  return result;
}

// The port dialog's request: the port list sorted as the list box shows it
// with the configured port preselected, and the configured rate preselected
// in the write-speed list.
static PortOpenDialogRequest PortDialogRequest(TFlashWrRXCont& cont, int writeSpeedIndex) {
  PortOpenDialogRequest request;
  request.caption = kPortDialogCaption;
  request.writeSpeeds.assign(kModuleRateTexts.begin(), kModuleRateTexts.end());
  request.writeSpeedIndex = writeSpeedIndex;
  cont.ListComPorts(request.ports);
  SortLikeTheListBox(request.ports);
  if (!request.ports.empty()) {
    const std::string wanted = "COM" + std::to_string(cont.Settings.PortNumber);
    request.selectedIndex = 0;
    for (std::size_t i = 0; i < request.ports.size(); ++i) {
      if (Contains(request.ports[i], wanted)) {
        request.selectedIndex = static_cast<int>(i);
        break;
      }
    }
  }
  const int rateIndex = ModuleRateIndex(cont.Settings.BitRate);
  request.comSpeedIndex = rateIndex >= 0 ? rateIndex : ModuleRateIndex(kDefaultModuleRate);
  return request;
}

// The dialog's answer; without a front end, "Open" with the preselections.
static PortOpenDialogResult RunPortDialog(TFlashWrRXCont& cont, const PortOpenDialogRequest& request) {
  if (LinkUi* ui = cont.Owner()) return ui->RunPortOpenDialog(request, cont.ReWriteMode);
  PortOpenDialogResult chosen;
  chosen.ok = true;
  chosen.selectedIndex = request.selectedIndex;
  chosen.comSpeedIndex = request.comSpeedIndex;
  return chosen;
}

// The entry to use: the selected one, or the first when none is selected.
static std::string ChosenEntry(const PortOpenDialogRequest& request, const PortOpenDialogResult& chosen) {
  if (!chosen.selectedText.empty() || request.ports.empty()) return chosen.selectedText;
  const int index = chosen.selectedIndex >= 0 ? chosen.selectedIndex : 0;
  return request.ports[static_cast<std::size_t>(std::min<int>(index, static_cast<int>(request.ports.size()) - 1))];
}

static void ApplyLineSettings(TFlashWrRXCont& cont) {
  cont.CommX1.Parity().SetBits(ParityOf(cont.Settings.ParityCode));
  cont.CommX1.FlowControl().SetFlowControl(FlowOf(cont.Settings.FlowMode));
}

// Re-write mode: no search (the module is in boot mode and does not answer);
// the chosen port is opened at the chosen rate, which become the settings.
static int OpenForReWrite(TFlashWrRXCont& cont, std::string entry, int comSpeedIndex) {
  if (entry == "0") entry = "COM1";
  cont.Settings.PortNumber = ComNumberOf(entry);
  cont.Settings.BitRate = ModuleRateAt(comSpeedIndex);
  ApplyLineSettings(cont);
  const int opened = cont.ReopenAtRate(static_cast<std::uint8_t>(cont.Settings.PortNumber),
                                       StrToBaudRate(std::to_string(cont.Settings.BitRate)));
  if (LinkUi* ui = cont.Owner()) ui->CopySettingsBack(cont.Settings);
  return opened;
}

int TFlashWrRXCont::OpenAtStartup(int writeSpeedIndex) {
  noPortChosen_ = false;
  SearchOpenedNoPort = false;
  const PortOpenDialogRequest request = PortDialogRequest(*this, writeSpeedIndex);
  const PortOpenDialogResult chosen = RunPortDialog(*this, request);
  if (!chosen.ok) {
    if (owner_) owner_->CloseMainWindow();
    return 0;
  }
  const std::string entry = ChosenEntry(request, chosen);
  if (ReWriteMode) {
    AddLog(kReWriteModeText, 1);
    // Nothing to open: discovery ends as if no module had been found.
    noPortChosen_ = entry.empty();
    return noPortChosen_ ? 0 : OpenForReWrite(*this, entry, chosen.comSpeedIndex);
  }
  ApplyLineSettings(*this);
  if (chosen.autoCheck) return ScanPorts(request.ports);
  if (entry.empty()) return 0;  // an empty list offers nothing to try
  return ScanSpeeds(entry);
}

}  // namespace kv9
