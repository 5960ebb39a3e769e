// The module's own command frames, spoken while it runs its normal firmware.
#include <algorithm>
#include <cstring>

#include "link/flash_wr_rx_cont.h"
#include "wire/frame_sum.h"
#include "link/hex_trace.h"
#include "link/module_frame.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kModuleReplyTimeoutMs = 1000;
// The boot-mode request waits longer: the module acknowledges just before it
// resets its microcontroller.
constexpr std::uint32_t kProgModeReplyTimeoutMs = 1500;
constexpr std::uint8_t kSubTxOnOff = 0x9E;
constexpr std::uint8_t kSubRomVersion = 0x90;
constexpr std::uint8_t kSubModelName = 0x93;
constexpr std::uint8_t kSubProgMode = 0x9B;
// The boot-mode request's access code, a constant of the tool.
constexpr char kProgModeAccessCode[] = "583914207";
constexpr int kIdentityReplyLength = 17;  // five header bytes, nine text bytes, ETX, SUM, CR
constexpr int kIdentityTextOffset = 5;
constexpr int kIdentityTextLength = 9;

// Logs the title (a trace line) and the bare hex line with its own force (only
// while TxLog is set), then sends
// the frame with flush-first so the ring is empty when the reply begins.
void SendModuleFrame(TFlashWrRXCont& cont, const std::string& title, int hexForce,
                     const std::vector<std::uint8_t>& frame) {
  if (cont.TxLog) {
    cont.AddLog(title, 0);
    cont.AddLog(HexTrace("", frame.data(), frame.size()), hexForce);
  }
  cont.SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
}

// Skips the reply header and stores nine text bytes and a terminating zero.
void TakeIdentityText(TFlashWrRXCont& cont, std::array<char, 10>& into) {
  for (int i = 0; i < kIdentityTextOffset; ++i) cont.RxByte();
  for (int i = 0; i < kIdentityTextLength; ++i) into[static_cast<std::size_t>(i)] = static_cast<char>(cont.RxByte());
  into[kIdentityTextLength] = 0;
}

std::string TextOf(const std::array<char, 10>& field) { return std::string(field.data()); }

}  // namespace

std::uint8_t TFlashWrRXCont::FrameSum(const std::uint8_t* frame) {
  return kv9::FrameSum(frame, static_cast<std::size_t>(frame[3]) + 5);
}

int TFlashWrRXCont::WaitReply(int count) {
  if (!WaitRxCount(kModuleReplyTimeoutMs, count)) return 0;
  RxByte();
  RxByte();
  return RxByte() == kStatusAccepted ? 1 : 0;
}

int TFlashWrRXCont::DousaModeSet(std::uint8_t param1, std::uint8_t param2, int flag,
                                 std::uint16_t param16, std::uint8_t param3) {
  const auto frame = BuildModuleFrame(
      kCmdAct, {static_cast<std::uint8_t>(flag ? 0x10 : 0x00), param1, param2, param3, 0x01,
                static_cast<std::uint8_t>(param16 >> 8), static_cast<std::uint8_t>(param16 & 0xFF)});
  SendModuleFrame(*this, "DousaModeSet: ", 0, frame);
  return WaitReply(7);
}

int TFlashWrRXCont::TxOnOffCmd(int on) {
  const auto frame = BuildModuleFrame(kCmdAct, {kSubTxOnOff, static_cast<std::uint8_t>(on ? 1 : 0)});
  SendModuleFrame(*this, "TXON_OFF_CMD: ", 0, frame);
  return WaitReply(9);
}

int TFlashWrRXCont::PassThroughCmd(std::uint8_t code, int n, std::uint8_t* reply, int& replyLength,
                                   const std::uint8_t* data) {
  const auto frame = BuildModuleFrame(code, std::vector<std::uint8_t>(data, data + std::max(n, 0)));
  SendModuleFrame(*this, "PassThroughCmd: ", 0, frame);
  const int expected = replyLength;
  if (!WaitRxCount(kModuleReplyTimeoutMs, expected)) return 0;
  RxByte();
  RxByte();
  if (RxByte() != kStatusAccepted) return 0;
  for (int i = 0; i < expected - 3; ++i) reply[i] = RxByte();
  replyLength = expected - 3;
  return 1;
}

int TFlashWrRXCont::ReadRomVersion(int display) {
  const auto frame = BuildModuleFrame(kCmdQuery, {kSubRomVersion, 0x00});
  SendModuleFrame(*this, "ＲＯＭのバージョン情報", 1, frame);
  if (!WaitRxCount(kModuleReplyTimeoutMs, kIdentityReplyLength)) {
    AddLog("Time Over(10)", 0);
    return 0;
  }
  TakeIdentityText(*this, RomVersion);
  if (display) AddLog("ROM Version : " + TextOf(RomVersion), 1);
  return 1;
}

int TFlashWrRXCont::ReadModelName(int display) {
  RxFlush();
  const auto frame = BuildModuleFrame(kCmdQuery, {kSubModelName});
  SendModuleFrame(*this, "機種名（ModelName）の取得", 0, frame);
  if (!WaitRxCount(kModuleReplyTimeoutMs, kIdentityReplyLength)) return 0;
  TakeIdentityText(*this, ModelName);
  if (display) AddLog("Module : " + TextOf(ModelName), 1);
  return 1;
}

int TFlashWrRXCont::SetProgMode() {
  RxFlush();
  const std::size_t codeLength = std::strlen(kProgModeAccessCode);
  std::vector<std::uint8_t> data(1 + codeLength);
  data[0] = kSubProgMode;
  std::memcpy(data.data() + 1, kProgModeAccessCode, codeLength);
  const auto frame = BuildModuleFrame(kCmdAct, data);
  SendModuleFrame(*this, "ST_PROG_MODE: ", 0, frame);
  if (WaitRxCount(kProgModeReplyTimeoutMs, 6)) {
    std::uint8_t reply[6];
    for (auto& b : reply) b = RxByte();
    AddLog(reply[2] == kStatusAccepted ? "ACK Recieve" : "Error", 0);
  } else {
    AddLog("Time Over(10)", 0);
  }
  // The boot program begins its protocol at 19200 bit/s.
  CommX1.SetBaudRate(br19200);
  return 1;
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
