// The one loop over the module's rates.
#include "link/module_rate_search.h"

#include <gtest/gtest.h>

#include "link/module_rates.h"

namespace kv9 {
namespace {

TEST(ModuleRateSearch, OrderPutsTheKnownRateFirstSkipsTheTriedOneAndStopsWhereATryGivesUp) {
  EXPECT_EQ(ModuleRateOrder(kSinglePortRateOrder), (std::vector<std::int32_t>{19200, 38400, 9600, 115200}));
  EXPECT_EQ(ModuleRateOrder(kSinglePortRateOrder, 9600), (std::vector<std::int32_t>{9600, 19200, 38400, 115200}));
  EXPECT_EQ(ModuleRateOrder(kSinglePortRateOrder, 12345), (std::vector<std::int32_t>{19200, 38400, 9600, 115200}));
  EXPECT_EQ(ModuleRateOrder(kSinglePortRateOrder, 0, 19200), (std::vector<std::int32_t>{38400, 9600, 115200}));
  std::vector<std::int32_t> tried;
  auto answersAt = [&tried](std::int32_t at, std::int32_t giveUpAt) {
    return [&tried, at, giveUpAt](std::int32_t rate) {
      tried.push_back(rate);
      return rate == at ? RateTry::Answered : rate == giveUpAt ? RateTry::GiveUp : RateTry::Silent;
    };
  };
  EXPECT_EQ(SearchModuleRates(kSinglePortRateOrder, answersAt(9600, 0)), 9600);
  EXPECT_EQ(tried, (std::vector<std::int32_t>{19200, 38400, 9600}));
  tried.clear();
  EXPECT_EQ(SearchModuleRates(kSinglePortRateOrder, answersAt(9600, 38400)), 0);
  EXPECT_EQ(tried, (std::vector<std::int32_t>{19200, 38400}));
  tried.clear();
  EXPECT_EQ(SearchModuleRates(kModuleRates, answersAt(0, 0)), 0);
  EXPECT_EQ(tried.size(), 4u);
}

}  // namespace
}  // namespace kv9
