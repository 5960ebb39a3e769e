// The module's EEPROM commands: read, write and initialise, in 16-bit words.
#include <algorithm>

#include "link/flash_wr_rx_cont.h"
#include "link/hex_trace.h"
#include "link/module_frame.h"

namespace kv9 {
namespace {

constexpr std::uint8_t kSubEeprom = 0x83;
constexpr std::uint8_t kSubEepromInit = 0x71;

std::string ReadTitle(std::uint8_t kind) {
  return kind == 254 ? "Read Factory Init Data RX: " : "Read All EEPROM RX: ";
}

std::string WriteTitle(std::uint8_t kind) {
  switch (kind) {
    case 0: return "EEPROM_RDWR_CMD TX: ";
    case 1: return "EEPROM_RDWR_CMD2 TX: ";
    case 2: return "EEPROM_RDWR_CMD3 TX: ";
    case 3: return "EEPROM_RDWR_CMD4 TX: ";
    default: return "EEPROM_ALLDATA TX: ";
  }
}

void SendTitled(TFlashWrRXCont& cont, const std::string& title, const std::vector<std::uint8_t>& frame) {
  if (cont.TxLog) {
    cont.AddLog(title, 0);
    cont.AddLog(HexTrace("", frame.data(), frame.size()), 0);
  }
  cont.SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
}

}  // namespace

int TFlashWrRXCont::EepromRead(std::uint8_t kind, std::uint8_t address, std::uint8_t count,
                               std::uint8_t* destination) {
  const auto frame = BuildModuleFrame(kCmdQuery, {kSubEeprom, kind, address, count});
  SendTitled(*this, ReadTitle(kind), frame);
  if (!WaitReply(2 * count + 10)) return 0;
  RxByte();  // the reply's LEN
  const std::uint8_t sub = RxByte();
  const std::uint8_t echoedAddress = RxByte();
  const std::uint8_t echoedCount = RxByte();
  // A reply for another request must not land in the caller's image.
  if (sub != kSubEeprom || echoedAddress != address || echoedCount != count) return 0;
  for (int i = 0; i < 2 * count; ++i) destination[i] = RxByte();
  return 1;
}

int TFlashWrRXCont::EepromWrite(std::uint8_t kind, std::uint8_t address, std::uint8_t count,
                                const std::uint8_t* source) {
  std::vector<std::uint8_t> data(4 + 2 * static_cast<std::size_t>(count));
  data[0] = kSubEeprom;
  data[1] = kind;
  data[2] = address;
  data[3] = count;
  std::copy(source, source + 2 * count, data.begin() + 4);
  const auto frame = BuildModuleFrame(kCmdAct, data);
  SendTitled(*this, WriteTitle(kind), frame);
  return WaitReply(8);
}

int TFlashWrRXCont::EepromInit(int option) {
  std::vector<std::uint8_t> data{kSubEepromInit};
  if (option) data.push_back(0x01);
  SendTitled(*this, "EEPROM_INIT_CMD: ", BuildModuleFrame(kCmdAct, data));
  return WaitReply(8);
}

}  // namespace kv9
