// The module's own command frames, spoken while it runs its normal firmware.
#include <algorithm>
#include <cstring>
#include <utility>

#include "link/flash_wr_rx_cont.h"
#include "link/module_exchange.h"
#include "link/module_frame.h"
#include "wire/frame_sum.h"

namespace kv9 {
namespace {

constexpr std::uint8_t kSubTxOnOff = 0x9E;
constexpr std::uint8_t kSubRomVersion = 0x90;
constexpr std::uint8_t kSubModelName = 0x93;
constexpr std::uint8_t kSubProgMode = 0x9B;
// The boot-mode request's access code, a constant of the tool.
constexpr char kProgModeAccessCode[] = "583914207";
constexpr int kIdentityTextOffset = 5;
constexpr int kIdentityTextLength = 9;
// The bytes a checked reply's header takes: STX, 0x00, status.
constexpr int kReplyHeaderLength = 3;

// Skips the reply header and stores nine text bytes and a terminating zero.
void TakeIdentityText(TFlashWrRXCont& cont, std::array<char, 10>& into) {
  for (int i = 0; i < kIdentityTextOffset; ++i) cont.RxByte();
  for (int i = 0; i < kIdentityTextLength; ++i) into[static_cast<std::size_t>(i)] = static_cast<char>(cont.RxByte());
  into[kIdentityTextLength] = 0;
}

std::string TextOf(const std::array<char, 10>& field) { return std::string(field.data()); }

// Asks for one identity text (ROM version or model name) into `into`.
int ReadIdentity(TFlashWrRXCont& cont, const std::string& title, int hexForce, std::vector<std::uint8_t> data,
                 std::array<char, 10>& into) {
  if (!ExchangeModuleFrame(cont, {.title = title,
                                  .hexForce = hexForce,
                                  .code = kCmdQuery,
                                  .data = std::move(data),
                                  .replyLength = module_reply::kIdentity,
                                  .attempts = kQueryAttempts})) {
    return 0;
  }
  TakeIdentityText(cont, into);
  return 1;
}

}  // namespace

std::uint8_t TFlashWrRXCont::FrameSum(const std::uint8_t* frame) {
  return kv9::FrameSum(frame, static_cast<std::size_t>(frame[3]) + 5);
}

int TFlashWrRXCont::DousaModeSet(std::uint8_t param1, std::uint8_t param2, int flag,
                                 std::uint16_t param16, std::uint8_t param3) {
  return ExchangeCheckedModuleFrame(
      *this, {.title = "DousaModeSet: ",
              .code = kCmdAct,
              .data = {static_cast<std::uint8_t>(flag ? 0x10 : 0x00), param1, param2, param3, 0x01,
                       static_cast<std::uint8_t>(param16 >> 8), static_cast<std::uint8_t>(param16 & 0xFF)},
              .replyLength = module_reply::kDousaMode});
}

int TFlashWrRXCont::TxOnOffCmd(int on) {
  return ExchangeCheckedModuleFrame(*this, {.title = "TXON_OFF_CMD: ",
                                            .code = kCmdAct,
                                            .data = {kSubTxOnOff, static_cast<std::uint8_t>(on ? 1 : 0)},
                                            .replyLength = module_reply::kTxOnOff});
}

int TFlashWrRXCont::PassThroughCmd(std::uint8_t code, int n, std::uint8_t* reply, int& replyLength,
                                   const std::uint8_t* data) {
  const int expected = replyLength;
  if (!ExchangeCheckedModuleFrame(*this, {.title = "PassThroughCmd: ",
                                          .code = code,
                                          .data = std::vector<std::uint8_t>(data, data + std::max(n, 0)),
                                          .replyLength = expected})) {
    return 0;
  }
  for (int i = 0; i < expected - kReplyHeaderLength; ++i) reply[i] = RxByte();
  replyLength = expected - kReplyHeaderLength;
  return 1;
}

int TFlashWrRXCont::ReadRomVersion(int display) {
  if (!ReadIdentity(*this, "ＲＯＭのバージョン情報", 1, {kSubRomVersion, 0x00}, RomVersion)) {
    AddLog("Time Over(10)", 0);
    return 0;
  }
  if (display) AddLog("ROM Version : " + TextOf(RomVersion), 1);
  return 1;
}

int TFlashWrRXCont::ReadModelName(int display) {
  if (!ReadIdentity(*this, "機種名（ModelName）の取得", 0, {kSubModelName}, ModelName)) return 0;
  if (display) AddLog("Module : " + TextOf(ModelName), 1);
  return 1;
}

int TFlashWrRXCont::SetProgMode() {
  const std::size_t codeLength = std::strlen(kProgModeAccessCode);
  std::vector<std::uint8_t> data(1 + codeLength);
  data[0] = kSubProgMode;
  std::memcpy(data.data() + 1, kProgModeAccessCode, codeLength);
  // No answer may mean the module reset before it could give one: the boot
  // program is then tried all the same. A refusal is a clear no.
  int result = 1;
  if (ExchangeModuleFrame(*this, {.title = "ST_PROG_MODE: ",
                                  .code = kCmdAct,
                                  .data = std::move(data),
                                  .replyLength = module_reply::kProgMode,
                                  .timeoutMs = kProgModeReplyTimeoutMs})) {
    std::uint8_t reply[module_reply::kProgMode];
    for (auto& b : reply) b = RxByte();
    result = reply[2] == kStatusAccepted ? 1 : 0;
    AddLog(result ? "ACK Recieve" : "Error", 0);
  } else {
    AddLog("Time Over(10)", 0);
  }
  // The boot program begins its protocol at 19200 bit/s.
  CommX1.SetBaudRate(br19200);
  return result;
}

int TFlashWrRXCont::CheckLink() {
  if (!CommX1.Connected()) return 0;
  try {
    int accepted = DousaModeSet(0, 0, 0, 0, 8);
    if (!accepted) accepted = DousaModeSet(0, 0, 0, 0, 8);
    if (!accepted) return 0;
    return ReadRomVersion(1);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace kv9
