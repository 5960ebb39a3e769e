#pragma once
// The one loop that looks for the module's rate: each rate of an order in
// turn until the module answers at one, or a try says that no rate will do
// (the port does not open, a stop was asked). Discovery on one port, the
// version read after a re-write and a station slot's probe all walk it, so
// they try the rates in the same order and give up for the same reasons.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kv9 {

enum class RateTry {
  Answered,  // the module answered at this rate
  Silent,    // nothing (usable) came back: try the next rate
  GiveUp,    // no rate can answer now: end the search
};

// The rates of `order` with `first` moved to the front when the order holds
// it, and without `skip` (0 skips none): a module that answered at a rate
// before is asked there first, a rate already tried is not tried again.
std::vector<std::int32_t> ModuleRateOrder(std::span<const std::int32_t> order, std::int32_t first = 0,
                                          std::int32_t skip = 0);

// Calls `tryRate` with each rate of `rates` in turn; returns the rate it
// answered at, 0 when none did or a try gave up.
std::int32_t SearchModuleRates(std::span<const std::int32_t> rates,
                               const std::function<RateTry(std::int32_t)>& tryRate);

}  // namespace kv9
