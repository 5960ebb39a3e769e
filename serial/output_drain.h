#pragma once
// Waiting until written bytes have left the driver. A write into a serial
// driver returns as soon as the bytes are queued; at a slow rate a frame
// then still takes a second or more on the line, and a reply wait started at
// that moment would run out before the other side has even heard the frame.
// Pure logic over what the driver reports, so tests can script the driver.
#include <cstdint>
#include <functional>

namespace kv9 {

struct DriverOutput {
  // Bytes the driver still holds for sending (Linux: TIOCOUTQ); -1 when it
  // cannot tell.
  std::function<int()> queued;
  // 1 while the transmitter itself still shifts bits out (its FIFO and
  // shift register, Linux: TIOCSERGETLSR), 0 when empty, -1 when the driver
  // cannot tell (a pty, most USB adapters).
  std::function<int()> shifting;
  // Monotonic milliseconds and a sleep; the clock the deadline is measured on.
  std::function<std::uint64_t()> nowMs;
  std::function<void(std::uint32_t)> sleepMs;
};

// Blocks until the driver reports nothing left to send, or until deadlineMs
// (on nowMs's clock) passed. Sleeps in slices of about the time the bytes
// still queued need at `rate` bit/s (10 bits a byte), at least 1 ms and at
// most 50 ms, never past the deadline. Returns the number of bytes the driver
// still held when the deadline passed (0 once everything left; a busy
// transmitter with an empty queue counts as 0: its few bytes are on their way).
int WaitUntilSent(const DriverOutput& out, std::uint32_t rate, std::uint64_t deadlineMs);

}  // namespace kv9
