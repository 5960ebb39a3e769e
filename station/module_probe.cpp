#include "station/module_probe.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "boot/boot_protocol.h"
#include "link/firmware_backup.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
#include "link/module_rate_search.h"
#include "link/module_rates.h"
#include "platform/deadline.h"
#include "serial/port_name.h"
#include "serial/port_table.h"
#include "station/silent_ui.h"

namespace kv9::station {
namespace {

// The rates a boot program fresh from power-up matches at, the module's
// usual rate first.
constexpr std::int32_t kBootMatchRates[] = {19200, 9600};
// Zero bytes a probe sends before it takes a boot program for absent, and
// the pause after each: the boot program answers from its third.
constexpr int kProbeZeros = 6;
constexpr std::uint32_t kProbeZeroPauseMs = 30;
// The status inquiry's answer of a session's boot program, and its first
// byte (a boot program still matching bit rates answers 0xFF, if at all).
constexpr std::uint32_t kSessionReplyMs = 300;
constexpr std::uint8_t kStatusReply = boot_cmd::kBootProgInfo + 0x10;
// The factory calibration words that tell one module from another: the
// factory image (kind 254) from word address 1.
constexpr std::uint8_t kFactoryImage = 254;
constexpr std::uint8_t kCalibrationWords = 2;

std::string Trimmed(const std::array<char, 10>& field) {
  std::string text(field.data(), ::strnlen(field.data(), 9));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool Reopen(TFlashWrRXCont& cont, int port, std::int32_t rate) {
  cont.ReopenAtRate(static_cast<std::uint8_t>(port), StrToBaudRate(std::to_string(rate)));
  return cont.CommX1.Connected();
}

ModuleIdentity IdentityOf(TFlashWrRXCont& cont) {
  ModuleIdentity identity;
  identity.romVersion = Trimmed(cont.RomVersion);
  if (cont.ReadModelName(0)) identity.modelName = Trimmed(cont.ModelName);
  std::uint8_t words[2 * kCalibrationWords];
  if (cont.EepromRead(kFactoryImage, 1, kCalibrationWords, words)) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X.%02X%02X", words[0], words[1], words[2], words[3]);
    identity.calibration = text;
  }
  return identity;
}

// The firmware at each rate of the plan; GiveUp when the port does not open.
bool AskFirmware(TFlashWrRXCont& cont, int port, const ProbePlan& plan, const std::function<bool()>& stop,
                 ProbeResult& result) {
  std::vector<std::int32_t> rates = ModuleRateOrder(kSinglePortRateOrder, plan.firmwareRate);
  if (!plan.allRates && plan.firmwareRate) rates.resize(1);
  const std::int32_t rate = SearchModuleRates(rates, [&](std::int32_t r) {
    if (stop() || !Reopen(cont, port, r)) return RateTry::GiveUp;
    return cont.CheckLink() ? RateTry::Answered : RateTry::Silent;
  });
  if (!rate) return false;
  result = {ProbeKind::Firmware, IdentityOf(cont), rate, 0};
  return true;
}

// Bit-rate matching's first half: zero bytes until the boot program answers
// one. It then listens at that rate, where a re-write matches it again.
bool AskBootProgram(TFlashWrRXCont& cont, int port, const std::function<bool()>& stop, ProbeResult& result) {
  const std::int32_t rate = SearchModuleRates(kBootMatchRates, [&](std::int32_t r) {
    if (stop() || !Reopen(cont, port, r)) return RateTry::GiveUp;
    cont.RxFlush();
    for (int i = 0; i < kProbeZeros && cont.RxCount() == 0 && !stop(); ++i) {
      const std::uint8_t zero = boot_cmd::kMatchZero;
      cont.SendBytes(&zero, 1, 0);
      PauseProcessingMessages(kProbeZeroPauseMs);
    }
    return cont.RxCount() > 0 && cont.RxByte() == boot_cmd::kMatchZero ? RateTry::Answered : RateTry::Silent;
  });
  if (!rate) return false;
  result = {ProbeKind::BootProgram, {}, rate, 0};
  return true;
}

// A boot program in a session answers its status inquiry at the boot rate.
bool AskSession(TFlashWrRXCont& cont, int port, std::int32_t rate, ProbeResult& result) {
  if (!Reopen(cont, port, rate)) return false;
  const std::uint8_t inquiry = boot_cmd::kBootProgInfo;
  cont.SendBytes(&inquiry, 1, 1);
  if (!cont.WaitRxCount(kSessionReplyMs, 1) || cont.RxByte() != kStatusReply) return false;
  result = {ProbeKind::BootSession, {}, rate, 0};
  return true;
}

}  // namespace

ProbePlan PlanFor(const SlotPresence& presence, std::int32_t lastRate, std::int32_t bootRate) {
  ProbePlan plan;
  plan.firmwareRate = lastRate;
  if (presence.ExpectsFirmware()) {
    plan.allRates = false;
  } else if (presence.LeftInBootProgram()) {
    plan.sessionRate = bootRate;
    plan.bootProgram = true;
    plan.allRates = false;
  } else {
    plan.bootProgram = true;
  }
  return plan;
}

bool PortPresent(const std::string& port) { return !PortDevicePath(port).empty(); }

ProbeResult ProbeModule(const TProgSettings& settings, const std::string& port, const ProbePlan& plan,
                        const std::function<bool()>& stopAsked) {
  ProbeResult result;
  const auto number = ComPortNumber(port);
  if (!number || !PortPresent(port)) {
    result.kind = ProbeKind::NoPort;
    return result;
  }
  SilentUi ui(stopAsked);
  SilentPane pane;
  TProgSettings own = settings;
  own.PortNumber = *number;
  TFlashWrRXCont cont(&ui, &pane, own);
  cont.QuietOpen = true;
  const TComPortHold hold(cont.CommX1);  // the port stays ours across the rates
  try {
    const bool answered = (plan.sessionRate && AskSession(cont, *number, plan.sessionRate, result)) ||
                          AskFirmware(cont, *number, plan, stopAsked, result) ||
                          (plan.bootProgram && AskBootProgram(cont, *number, stopAsked, result));
    if (!answered) result.kind = PortPresent(port) ? ProbeKind::Silent : ProbeKind::NoPort;
    if (!answered && cont.LastOpenFailure == PortOpenFailure::InUse && !cont.LastOpenReason.empty()) {
      result.kind = ProbeKind::Busy;
    }
  } catch (const std::exception&) {
    // A port error is a port without a module for now.
    result = {};
  }
  cont.ClosePort();
  return result;
}

std::string StationImageProblem(const TProgSettings& settings, const std::string& imageFile) {
  SilentUi ui([] { return false; });
  SilentPane pane;
  TFlashWrRXCont cont(&ui, &pane, settings);
  cont.LoadEmbeddedImage();
  if (!imageFile.empty() && !cont.LoadImageFile(imageFile)) return imageFile + ": " + cont.ImageLoadProblem;
  return ImageAreaProblem(cont);
}

std::string StationBackupProblem(const TProgSettings& settings, const UpdateOptions& update,
                                 const std::string& imageFile) {
  if (update.FirmwareBackup.empty()) return {};
  SilentUi ui([] { return false; });
  SilentPane pane;
  TFlashWrRXCont cont(&ui, &pane, settings);
  // Each slot gets its own file in it, as several ports do.
  std::string folder = update.FirmwareBackup;
  if (folder.back() != '/') folder += '/';
  const FirmwareBackupRequest request{.target = folder, .makeFolder = update.FirmwareBackupMakeFolder != 0};
  const std::string problem =
      FirmwareBackupTargetProblem(request, FirmwareBackupBytes(cont, update.UserBootMode), imageFile);
  return problem.empty() ? problem : FirmwareBackupRefusal(problem);
}

}  // namespace kv9::station
