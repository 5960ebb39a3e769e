#pragma once
// The USB serial adapter's latency timer: how long the adapter holds the
// bytes it received before it hands them to the computer (an FTDI chip
// waits until 62 bytes are there or the timer ran out: 16 ms unless set
// lower). Every frame of an update waits for a short reply, so each reply
// can come that much later. The figures and texts here are pure; the
// backends fill AdapterLatency from their driver.
#include <cstdint>
#include <string>

namespace kv9 {

// Replies an update waits for: about 420 programming frames, 128 erase
// frames and some 30 others.
constexpr int kUpdateReplies = 580;
// At or below this the latency costs an update well under a second: no
// advice is given.
constexpr int kLatencyAdviceAboveMs = 2;

struct AdapterLatency {
  // The adapter's latency timer in force while the port is open, in ms;
  // -1 where the system does not tell (a pty, a built-in UART).
  int timerMs = -1;
  // Linux: the driver took the low-latency request made at opening.
  bool lowLatency = false;
  // Windows: the port belongs to an FTDI adapter whose driver keeps the
  // timer in the registry (it cannot be changed through the serial API).
  bool ftdi = false;
};

// How much longer an update takes when every reply waits for a latency
// timer of timerMs: one timer per reply, in ms (0 for an unknown timer).
std::uint32_t UpdateDelayMs(int timerMs, int replies = kUpdateReplies);

// The debug log's line for the run: "COM3 latency timer 1 ms (low-latency
// mode)"; "" when the timer is not known (a pty: nothing is logged).
std::string LatencyDebugLine(const std::string& port, const AdapterLatency& latency);

// Where the timer cannot be set by the tool (an FTDI adapter on Windows)
// and is above kLatencyAdviceAboveMs: the log lines that tell the person
// how much slower the update will be and where to set it to 1 ms, one
// line per entry of the text ("\n" between them); "" otherwise.
std::string LatencyAdviceLog(const std::string& port, const AdapterLatency& latency);
// The same advice as one line in English, for kv9flash's standard error.
std::string LatencyAdviceNote(const std::string& port, const AdapterLatency& latency);

}  // namespace kv9
