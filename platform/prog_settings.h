#pragma once
// The program settings record. The main window owns one; the controller holds
// a private copy. The two are brought in step only by whole-record copies.
#include <cstdint>

namespace kv9 {

struct TProgSettings {
  std::int32_t PortNumber = 1;        // "COM" + this; port operations use its low 8 bits
  std::int32_t BitRate = 19200;       // the module's own command-frame rate
  std::int32_t ParityCode = 0;        // TParityBits ordinal; only the low byte is applied
  std::int32_t FlowMode = 0;          // 1 hardware, 2 software, anything else none
  std::int32_t WriteSpeedIndex = 4;   // "R/Wスピード" radio index (preselection only)
  std::uint8_t Multiplier1 = 4;       // clock multiplication ratio 1 for the boot program
  std::uint8_t Multiplier2 = 2;       // clock multiplication ratio 2
  float InputFreqMHz = 1356 / 100.0f; // 13.56 MHz input clock
  std::int32_t BootBitRate = 115200;  // the boot-mode handshake switches to this rate
  std::int32_t CpuCode = 5;           // 5 RX231, 6 RX630, 7 RX63T
  std::int32_t RomSizeIndex = 11;     // "256K"
};

}  // namespace kv9
