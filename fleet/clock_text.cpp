#include "fleet/clock_text.h"

#include <cstdio>
#include <cstdlib>

namespace kv9::fleet {

std::string IsoTimeText(const std::tm& t, long utcOffsetSeconds) {
  const long minutes = std::labs(utcOffsetSeconds) / 60;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, utcOffsetSeconds < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return text;
}

}  // namespace kv9::fleet
