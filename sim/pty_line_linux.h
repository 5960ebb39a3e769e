#pragma once
// The pty's line settings as the module publishes them. Kept apart because
// the kernel's <asm/termbits.h> cannot share a unit with glibc's <termios.h>.
#include <cstdint>

namespace kv9::sim {

// Raw 8-bit line at `rate` with one speed for both directions: the input
// speed field (CIBAUD) is left empty, so the kernel derives the input speed
// from the output speed. A client that later sets its rate with plain
// tcsetattr (which rewrites only the output speed bits) then changes both,
// as on a real UART. Standard rates are encoded as their Bxxx value, others
// as BOTHER. Returns 0 or the errno value.
int PublishRawLine(int masterFd, std::uint32_t rate);

}  // namespace kv9::sim
