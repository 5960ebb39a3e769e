// The module's EEPROM commands: read, write and initialise, in 16-bit words.
#include "link/flash_wr_rx_cont.h"
#include "link/module_exchange.h"
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

}  // namespace

int TFlashWrRXCont::EepromRead(std::uint8_t kind, std::uint8_t address, std::uint8_t count,
                               std::uint8_t* destination) {
  // A reply for another request must not land in the caller's image: the
  // exchange checks what it repeats, and asks again like for a spoilt reply.
  if (!ExchangeCheckedModuleFrame(*this, {.title = ReadTitle(kind),
                                          .code = kCmdQuery,
                                          .data = {kSubEeprom, kind, address, count},
                                          .replyLength = module_reply::EepromRead(count),
                                          .attempts = kQueryAttempts,
                                          .echo = {kSubEeprom, address, count}})) {
    return 0;
  }
  for (int i = 0; i < 4; ++i) RxByte();  // LEN and the echo, checked
  for (int i = 0; i < 2 * count; ++i) destination[i] = RxByte();
  return 1;
}

int TFlashWrRXCont::EepromWrite(std::uint8_t kind, std::uint8_t address, std::uint8_t count,
                                const std::uint8_t* source) {
  std::vector<std::uint8_t> data{kSubEeprom, kind, address, count};
  data.insert(data.end(), source, source + 2 * count);
  return ExchangeCheckedModuleFrame(*this, {.title = WriteTitle(kind),
                                            .code = kCmdAct,
                                            .data = std::move(data),
                                            .replyLength = module_reply::kEepromWrite});
}

int TFlashWrRXCont::EepromInit(int option) {
  std::vector<std::uint8_t> data{kSubEepromInit};
  if (option) data.push_back(0x01);
  return ExchangeCheckedModuleFrame(*this, {.title = "EEPROM_INIT_CMD: ",
                                            .code = kCmdAct,
                                            .data = std::move(data),
                                            .replyLength = module_reply::kEepromInit});
}

}  // namespace kv9
