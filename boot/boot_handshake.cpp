// From power-up in boot mode to the programming/erasure state: bit-rate
// matching, device and clock-mode selection, the switch to the fast bit
// rate on both sides, and the state transition.
#include <cctype>
#include <string>

#include "boot/boot_frames.h"
#include "boot/boot_pause.h"
#include "boot/boot_protocol.h"
#include "boot/boot_reply_format.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/message_pump.h"

namespace kv9 {

int TFlashWrRXCont::BitRateMatch() {
  BootPause(kMatchStartPauseMs);
  for (int i = 0; i < kMatchMaxZeros && RxCount() == 0 && !Stopped(); ++i) {
    const std::uint8_t zero = boot_cmd::kMatchZero;
    SendBytes(&zero, 1, 0);
    BootPause(kMatchZeroPauseMs);
    ProcessMessages();
  }
  if (RxCount() == 0 || RxByte() != boot_cmd::kMatchZero) return 0;
  RxFlush();
  const std::uint8_t confirm = boot_cmd::kMatchConfirm;
  SendBytes(&confirm, 1, 1);
  if (!WaitRxCount(kBootAckTimeoutMs, 1)) return 0;
  return RxByte() == boot_cmd::kMatchConfirmAck ? 1 : 0;
}

int TFlashWrRXCont::DeviceSelect(const std::array<char, 4>& deviceCode) {
  std::uint8_t code[4];
  for (int i = 0; i < 4; ++i) code[i] = static_cast<std::uint8_t>(deviceCode[static_cast<std::size_t>(i)]);
  const std::uint8_t ack =
      Settings.CpuCode == kCpuRx231 ? boot_reply::kDeviceSelectAckRx231 : boot_reply::kAck;
  return SendBootFrame(boot_cmd::kDeviceSelect, code, 4, ack);
}

int TFlashWrRXCont::SelectClockMode(std::uint8_t mode) {
  return SendBootFrame(boot_cmd::kClockModeSelect, &mode, 1, boot_reply::kAck);
}

int TFlashWrRXCont::SelectBitRate(std::uint16_t bitRate100, std::uint16_t inputFreq100, std::uint8_t multiplier1,
                                  std::uint8_t multiplier2) {
  const std::uint8_t data[7] = {static_cast<std::uint8_t>(bitRate100 >> 8), static_cast<std::uint8_t>(bitRate100),
                                static_cast<std::uint8_t>(inputFreq100 >> 8), static_cast<std::uint8_t>(inputFreq100),
                                0x02, multiplier1, multiplier2};
  const int acknowledged = SendBootFrame(boot_cmd::kSelectBitRate, data, 7, boot_reply::kAck);
  BootPause(kNewRatePauseMs);
  if (!acknowledged) return 0;
  // The boot program now listens at the new rate: follow it, then confirm.
  ReopenAtRate(static_cast<std::uint32_t>(bitRate100) * 100u);
  return SendCmdByte(boot_reply::kAck, boot_reply::kAck);
}

int TFlashWrRXCont::EraseStatusSet(std::uint8_t& status) {
  status = 0;
  RxFlush();
  const std::uint8_t command = boot_cmd::kEraseStatusSet;
  SendBytes(&command, 1, 1);
  if (!WaitRxCount(kBootAckTimeoutMs, 1)) return 0;
  status = RxByte();
  const std::uint8_t plain = Settings.CpuCode == kCpuRx231 ? boot_reply::kAck : boot_reply::kTransitionAck;
  return status == boot_reply::kIdProtected || status == plain ? 1 : 0;
}

int TFlashWrRXCont::BootHandshake() {
  int ok = BitRateMatch();
  if (!ok) AddLog("NG: ビットレート合わせ込み", 0);
  if (ok) {
    ok = DeviceSelect(DeviceCode);
    if (!ok) AddLog("NG: デバイス選択", 0);
  }
  if (ok && Settings.CpuCode != kCpuRx231) {
    int length = 0;
    // A reply that lists no mode at all offers nothing to select.
    ok = ClockInfo(ReplyBuf.data(), length) && ReplyBuf[1] > 0;
    if (ok) {
      // The first clock mode the boot program lists.
      ok = SelectClockMode(ReplyBuf[2]);
      if (!ok) AddLog("NG: クロックモード選択", 0);
    }
  }
  if (!ok) return 0;

  const std::uint16_t rate100 = BitRateField(static_cast<std::uint32_t>(Settings.BootBitRate));
  const std::uint16_t freq100 = InputFreqField(Settings.InputFreqMHz);
  int result = 0;
  if (Settings.CpuCode == kCpuRx231) {
    // The RX231 runs its UART from the internal oscillator: no input
    // frequency, fixed ratios.
    Settings.Multiplier1 = 2;
    Settings.Multiplier2 = 1;
    result = SelectBitRate(rate100, 0, 2, 1);
  } else {
    result = SelectBitRate(rate100, freq100, Settings.Multiplier1, Settings.Multiplier2);
  }
  AddLog("SPEED :" + std::to_string(static_cast<std::uint32_t>(Settings.BootBitRate) / 100u * 100u), 0);
  AddLog("FREQ :" + FormatGrouped2(Settings.InputFreqMHz) + "MHz", 0);
  AddLog("逓倍比１ :" + std::to_string(Settings.Multiplier1), 0);
  AddLog("逓倍比２ :" + std::to_string(Settings.Multiplier2), 0);
  if (!result) AddLog("NG: 新ビットレート選択", 1);
  return result;
}

}  // namespace kv9
