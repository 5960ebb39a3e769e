#pragma once
// Times as a report carries them: ISO 8601 with the UTC offset of the
// machine's time zone, "2026-12-10T10:22:11+09:00", so that reports from
// benches in different zones (or around a change of summer time) order
// correctly. The text is pure; the clock reading is per OS
// (clock_text_posix.cpp, clock_text_win32.cpp).
#include <ctime>
#include <string>

namespace kv9::fleet {

// `local` is the broken-down local time, `utcOffsetSeconds` how far it is
// ahead of UTC (negative west of Greenwich).
std::string IsoTimeText(const std::tm& local, long utcOffsetSeconds);

// The current time as above.
std::string IsoTimeNow();

}  // namespace kv9::fleet
