#pragma once
// The work behind each item of the boot-mode command menu, without the
// toolkit: run one controller operation and say what the menu prints. The
// main window's handlers only pass the outcome to its log.
#include <cstdint>
#include <functional>
#include <string>

#include "boot/boot_reply_format.h"
#include "platform/prog_settings.h"

namespace kv9 {

class TFlashWrRXCont;

struct BootMenuOutcome {
  int ok = 0;
  std::string okText;
  std::string ngText;
  DetailLines details;  // printed after the OK text only
};

// Logs an outcome the menu's way: the OK text and the detail lines as
// debug lines, or the NG text always shown.
void LogMenuOutcome(const BootMenuOutcome& outcome, const std::function<void(const std::string&, int)>& log);

// Opens the port at 19200 bit/s, flushes, and matches the bit rate.
BootMenuOutcome MenuBitRate(TFlashWrRXCont& c, std::int32_t portNumber);
BootMenuOutcome MenuSupportDevice(TFlashWrRXCont& c);
BootMenuOutcome MenuDeviceSelect(TFlashWrRXCont& c);  // always "8a02"
BootMenuOutcome MenuClockInfo(TFlashWrRXCont& c);
BootMenuOutcome MenuSelectClockMode(TFlashWrRXCont& c);  // mode 0
BootMenuOutcome MenuTeibaiInfo(TFlashWrRXCont& c);
BootMenuOutcome MenuGetClockInfo(TFlashWrRXCont& c);
BootMenuOutcome MenuBootAreaInfo(TFlashWrRXCont& c);
BootMenuOutcome MenuUserAreaInfo(TFlashWrRXCont& c);
BootMenuOutcome MenuEraseBlockInfo(TFlashWrRXCont& c);
BootMenuOutcome MenuWriteSizeInfo(TFlashWrRXCont& c);
BootMenuOutcome MenuDataAreaChk(TFlashWrRXCont& c);
BootMenuOutcome MenuDataAreaInfo(TFlashWrRXCont& c);
// The window's own settings, without the RX231 substitution.
BootMenuOutcome MenuSelectBitRate(TFlashWrRXCont& c, const TProgSettings& settings);
BootMenuOutcome MenuEraseStatusSet(TFlashWrRXCont& c);
BootMenuOutcome MenuBootProgInfo(TFlashWrRXCont& c);
BootMenuOutcome MenuIdCheck(TFlashWrRXCont& c);  // 16 bytes of 0xFF
BootMenuOutcome MenuSelUserBootArea(TFlashWrRXCont& c);
BootMenuOutcome MenuSelUserArea(TFlashWrRXCont& c);
BootMenuOutcome MenuWrite256Bytes(TFlashWrRXCont& c);  // end-of-programming frame
BootMenuOutcome MenuSelErase(TFlashWrRXCont& c);
BootMenuOutcome MenuBlockErase(TFlashWrRXCont& c);  // block 0xFF
BootMenuOutcome MenuMemRead(TFlashWrRXCont& c);     // area 1, 0xFFFA0000, 256 bytes, user-boot command
BootMenuOutcome MenuUserBootSumCheck(TFlashWrRXCont& c);
BootMenuOutcome MenuUserAreaSumCheck(TFlashWrRXCont& c);
BootMenuOutcome MenuDataSumCheck(TFlashWrRXCont& c);
BootMenuOutcome MenuUserBootBlankCheck(TFlashWrRXCont& c);
BootMenuOutcome MenuUserAreaBlankCheck(TFlashWrRXCont& c);
BootMenuOutcome MenuReadLockBitStatus(TFlashWrRXCont& c);  // 0xFFFEFFFF
BootMenuOutcome MenuProgLockBit(TFlashWrRXCont& c);        // 0xFFFEFFFF
BootMenuOutcome MenuEnLockBit(TFlashWrRXCont& c);
BootMenuOutcome MenuDisaLockBit(TFlashWrRXCont& c);

}  // namespace kv9
