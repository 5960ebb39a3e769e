#include "fault_book.h"

namespace kv9::sim {

FaultBook::FaultBook(std::vector<FaultRule> rules) : rules_(std::move(rules)), seen_(rules_.size(), 0) {}

std::optional<FaultRule> FaultBook::ForFirmware(std::uint8_t frameCode, std::uint8_t subCommand) {
  return Match(FaultSite::Side::Firmware, frameCode, subCommand);
}

std::optional<FaultRule> FaultBook::ForBoot(std::uint8_t command) {
  return Match(FaultSite::Side::Boot, std::nullopt, command);
}

std::optional<FaultRule> FaultBook::Match(FaultSite::Side side, std::optional<std::uint8_t> frameCode,
                                          std::uint8_t code) {
  std::optional<FaultRule> hit;
  // Every matching rule counts the frame, even when an earlier rule wins, so
  // occurrence numbers always refer to frames seen on the line.
  for (std::size_t i = 0; i < rules_.size(); ++i) {
    const FaultSite& s = rules_[i].site;
    if (s.side != side || s.code != code) continue;
    if (s.frameCode && frameCode && *s.frameCode != *frameCode) continue;
    ++seen_[i];
    if (!hit && (s.occurrence == 0 || s.occurrence == seen_[i])) hit = rules_[i];
  }
  return hit;
}

}  // namespace kv9::sim
