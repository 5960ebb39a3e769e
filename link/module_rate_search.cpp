#include "link/module_rate_search.h"

#include <algorithm>

namespace kv9 {

std::vector<std::int32_t> ModuleRateOrder(std::span<const std::int32_t> order, std::int32_t first,
                                          std::int32_t skip) {
  std::vector<std::int32_t> rates;
  if (first != skip && std::find(order.begin(), order.end(), first) != order.end()) rates.push_back(first);
  for (const std::int32_t rate : order) {
    if (rate != skip && rate != first) rates.push_back(rate);
  }
  return rates;
}

std::int32_t SearchModuleRates(std::span<const std::int32_t> rates,
                               const std::function<RateTry(std::int32_t)>& tryRate) {
  for (const std::int32_t rate : rates) {
    switch (tryRate(rate)) {
      case RateTry::Answered: return rate;
      case RateTry::GiveUp: return 0;
      case RateTry::Silent: break;
    }
  }
  return 0;
}

}  // namespace kv9
