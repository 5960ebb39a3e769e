#pragma once
// The state one simulated module keeps across its personalities (normal
// firmware, boot program, resident loader): its memories, counters, injected
// faults, and the bytes it has decided to send. The personalities run on the
// module's one thread; nothing here locks.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cpu_profile.h"
#include "eeprom_images.h"
#include "fault_book.h"
#include "flash_memory.h"
#include "sim_options.h"

namespace kv9::sim {

using Clock = std::chrono::steady_clock;

// Bytes the module puts on its line, sent at the rate its UART runs at then.
struct OutChunk {
  std::vector<std::uint8_t> bytes;
  std::uint32_t rate = 0;
};

// What a personality asks the module as a whole to do after a frame.
enum class ModuleRequest {
  None,
  RestartIntoBoot,      // boot-mode request accepted: reset, then boot program
  RestartIntoFirmware,  // loader restart: reset, then normal firmware
  PowerLoss,            // supply fails: reset, then (firmware incomplete) boot program
  Disconnect,           // the cable is pulled: the port goes away
};

// Where a reply carries its checksum, so that a fault on the line can spoil
// it or keep it valid.
enum class ReplySum {
  None,       // acknowledgements, error responses, the loader's CRC answer
  LastByte,   // boot program data and memory-read replies
  BeforeEtx,  // firmware replies: the sum sits between ETX and CR
};

struct ModuleContext {
  explicit ModuleContext(const SimOptions& opts);

  const SimOptions& options;
  const CpuProfile& profile;
  FlashMemory userArea;
  FlashMemory userBootArea;
  FlashMemory dataArea;
  std::vector<bool> locked;  // lock bit per erase block of the user area
  bool lockBitsEnabled = true;
  EepromImages eeprom;
  FaultBook faults;

  std::map<std::string, unsigned> commandCounts;
  std::set<std::uint32_t> ratesSeen;
  unsigned noiseBytes = 0;
  unsigned blocksReceived = 0;   // 256-byte programming frames seen
  unsigned blocksProgrammed = 0;
  unsigned blocksErased = 0;
  unsigned restarts = 0;

  ModuleRequest request = ModuleRequest::None;
  // The fault that spoils the replies to the frame being handled (bad sum
  // or a bit error); set for one frame by the personality that handles it.
  std::optional<FaultRule> lineFault;
  std::vector<OutChunk> out;
  std::function<void(const std::string&)> trace;  // empty when tracing is off

  void Count(const std::string& key) { ++commandCounts[key]; }
  // Puts a reply on the line, after the line fault of the current frame (if
  // any) has changed it; `sum` says where its checksum is.
  void Send(std::vector<std::uint8_t> bytes, std::uint32_t rate, ReplySum sum = ReplySum::None);
  // The CRC the resident loader reports: CRC-16/X-25 of the user area from
  // its first address up to the loader's own 16 KB.
  std::uint16_t LoaderCrc() const;
  void TraceFrame(const char* direction, std::uint32_t rate, const std::uint8_t* bytes,
                  std::size_t count, const std::string& note = {});
};

std::string HexBytes(const std::uint8_t* bytes, std::size_t count, std::size_t limit = 32);

}  // namespace kv9::sim
