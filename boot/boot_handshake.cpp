// From power-up in boot mode to the programming/erasure state: bit-rate
// matching, device and clock-mode selection, the switch to the fast bit
// rate on both sides, and the state transition.
#include <string>

#include "boot/boot_frames.h"
#include "boot/boot_pause.h"
#include "boot/boot_programmer.h"
#include "boot/boot_reply_format.h"
#include "platform/message_pump.h"

namespace kv9 {

int BootProgrammer::BitRateMatch() {
  BootPause(kMatchStartPauseMs);
  for (int i = 0; i < kMatchMaxZeros && link_.RxCount() == 0 && !link_.Stopped(); ++i) {
    const std::uint8_t zero = boot_cmd::kMatchZero;
    link_.SendBytes(&zero, 1, 0);
    BootPause(kMatchZeroPauseMs);
    ProcessMessages();
  }
  if (link_.RxCount() == 0 || link_.RxByte() != boot_cmd::kMatchZero) return 0;
  link_.RxFlush();
  const std::uint8_t confirm = boot_cmd::kMatchConfirm;
  link_.SendBytes(&confirm, 1, 1);
  if (!link_.WaitRxCount(kBootAckTimeoutMs, 1)) return 0;
  return link_.RxByte() == boot_cmd::kMatchConfirmAck ? 1 : 0;
}

int BootProgrammer::DeviceSelect(const std::array<char, 4>& deviceCode) {
  std::uint8_t code[4];
  for (int i = 0; i < 4; ++i)
    code[i] = static_cast<std::uint8_t>(deviceCode[static_cast<std::size_t>(i)]);
  return SendBootFrame(boot_cmd::kDeviceSelect, code, 4, Cpu().deviceSelectAck);
}

int BootProgrammer::SelectClockMode(std::uint8_t mode) {
  return SendBootFrame(boot_cmd::kClockModeSelect, &mode, 1, boot_reply::kAck);
}

int BootProgrammer::SelectBitRate(std::uint16_t bitRate100, std::uint16_t inputFreq100,
                                  std::uint8_t multiplier1, std::uint8_t multiplier2) {
  const std::uint8_t data[7] = {static_cast<std::uint8_t>(bitRate100 >> 8),
                                static_cast<std::uint8_t>(bitRate100),
                                static_cast<std::uint8_t>(inputFreq100 >> 8),
                                static_cast<std::uint8_t>(inputFreq100),
                                0x02,
                                multiplier1,
                                multiplier2};
  const int acknowledged = SendBootFrame(boot_cmd::kSelectBitRate, data, 7, boot_reply::kAck);
  BootPause(kNewRatePauseMs);
  if (!acknowledged) return 0;
  // The boot program now listens at the new rate: follow it, then confirm.
  link_.ReopenAtRate(static_cast<std::uint32_t>(bitRate100) * 100u);
  return SendCmdByte(boot_reply::kAck, boot_reply::kAck);
}

int BootProgrammer::EraseStatusSet(std::uint8_t& status) {
  status = 0;
  link_.RxFlush();
  const std::uint8_t command = boot_cmd::kEraseStatusSet;
  link_.SendBytes(&command, 1, 1);
  if (!link_.WaitRxCount(kBootAckTimeoutMs, 1)) return 0;
  status = link_.RxByte();
  return status == boot_reply::kIdProtected || status == Cpu().transitionAck ? 1 : 0;
}

int BootProgrammer::BootHandshake(const std::array<char, 4>& deviceCode) {
  int ok = BitRateMatch();
  if (!ok) link_.AddLog("NG: ビットレート合わせ込み", 0);
  if (ok) {
    ok = DeviceSelect(deviceCode);
    if (!ok) link_.AddLog("NG: デバイス選択", 0);
  }
  if (ok && Cpu().selectsClockMode) {
    int length = 0;
    // A reply that lists no mode at all offers nothing to select.
    ok = InquireCode(boot_cmd::kClockInfo, reply_.data(), length) && reply_[1] > 0;
    if (ok) {
      // The first clock mode the boot program lists.
      ok = SelectClockMode(reply_[2]);
      if (!ok) link_.AddLog("NG: クロックモード選択", 0);
    }
  }
  if (!ok) return 0;

  const CpuProfile& cpu = Cpu();
  if (cpu.internalClock) {
    // The UART runs from the internal oscillator: no input frequency, and
    // the ratios are the fixed ones, which the settings then show.
    settings_.Multiplier1 = cpu.fixedMultiplier1;
    settings_.Multiplier2 = cpu.fixedMultiplier2;
  }
  const std::uint16_t rate100 = BitRateField(static_cast<std::uint32_t>(settings_.BootBitRate));
  const std::uint16_t freq100 = cpu.internalClock ? 0 : InputFreqField(settings_.InputFreqMHz);
  const int result = SelectBitRate(rate100, freq100, settings_.Multiplier1, settings_.Multiplier2);
  link_.AddLog(
      "SPEED :" + std::to_string(static_cast<std::uint32_t>(settings_.BootBitRate) / 100u * 100u),
      0);
  link_.AddLog("FREQ :" + FormatGrouped2(settings_.InputFreqMHz) + "MHz", 0);
  link_.AddLog("逓倍比１ :" + std::to_string(settings_.Multiplier1), 0);
  link_.AddLog("逓倍比２ :" + std::to_string(settings_.Multiplier2), 0);
  if (!result) link_.AddLog("NG: 新ビットレート選択", 1);
  return result;
}

}  // namespace kv9
