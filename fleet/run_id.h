#pragma once
// The identity of one run: a random UUID (version 4), so that a consumer
// can drop a report it got twice (a broker may deliver a report again when
// its acknowledgement was lost) and every copy of a report, in the report
// file, the run record and on the broker, names the same run.
#include <array>
#include <cstdint>
#include <string>

namespace kv9::fleet {

// "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx" from 16 random bytes, the version
// and variant bits set. Pure.
std::string RunIdFromBytes(std::array<std::uint8_t, 16> bytes);

// A new run id from the system's random source.
std::string NewRunId();

}  // namespace kv9::fleet
