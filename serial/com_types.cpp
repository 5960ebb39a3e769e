#include "serial/com_types.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kv9 {
namespace {

constexpr std::array<std::uint32_t, 16> kRates = {0,     110,   300,   600,   1200,  2400,
                                                  4800,  9600,  14400, 19200, 38400, 56000,
                                                  57600, 115200, 128000, 256000};

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace

std::string BaudRateToStr(TBaudRate rate) {
  if (rate == brCustom) return "Custom";
  return std::to_string(kRates[static_cast<std::size_t>(rate)]);
}

TBaudRate StrToBaudRate(const std::string& text) {
  for (int i = brCustom; i <= br256000; ++i) {
    auto rate = static_cast<TBaudRate>(i);
    if (EqualIgnoringCase(BaudRateToStr(rate), text)) return rate;
  }
  return br9600;
}

std::uint32_t BaudRateValue(TBaudRate rate) { return kRates[static_cast<std::size_t>(rate)]; }

std::string ComErrorsToStr(TComErrors errors) {
  static const char* const kNames[] = {"Frame", "Parity", "Overrun", "Break",
                                       "IO",    "Mode",   "RxOver",  "TxFull"};
  if (errors.Empty()) return "<Ok>";
  std::string names;
  for (int i = ceFrame; i <= ceTxFull; ++i) {
    if (!errors.Contains(static_cast<TComError>(i))) continue;
    if (!names.empty()) names += ",";
    names += kNames[i];
  }
  return "<ComError:" + names + ">";
}

}  // namespace kv9
