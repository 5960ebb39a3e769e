#pragma once
// Decides, frame by frame, which injected fault (if any) applies. Each rule
// counts the frames that match its site so "only the n-th time" works.
#include <cstdint>
#include <optional>
#include <vector>

#include "sim_options.h"

namespace kv9::sim {

class FaultBook {
 public:
  explicit FaultBook(std::vector<FaultRule> rules);

  // Called once per received frame; returns the first rule that applies now.
  std::optional<FaultRule> ForFirmware(std::uint8_t frameCode, std::uint8_t subCommand);
  std::optional<FaultRule> ForBoot(std::uint8_t command);

 private:
  std::optional<FaultRule> Match(FaultSite::Side side, std::optional<std::uint8_t> frameCode,
                                 std::uint8_t code);

  std::vector<FaultRule> rules_;
  std::vector<unsigned> seen_;
};

}  // namespace kv9::sim
