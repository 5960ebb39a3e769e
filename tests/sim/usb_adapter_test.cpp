// The USB adapter at the tool's end of the simulated line: what it holds
// and when it hands bytes over, on a clock the test sets (no waiting).
#include <gtest/gtest.h>

#include <vector>

#include "sim/command_line.h"
#include "sim/usb_adapter.h"

namespace kv9::sim {
namespace {

using std::chrono::milliseconds;

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
  return v;
}

TEST(UsbAdapter, AShortReplyWaitsForTheTimerAFullPacketGoesAtOnce) {
  const Clock::time_point t0{};
  UsbAdapterFifo fifo(milliseconds(16));
  // A 9-byte reply: held until 16 ms after its first byte.
  for (std::uint8_t b : Bytes(9)) fifo.Push(b, t0);
  EXPECT_EQ(fifo.NextDue(), t0 + milliseconds(16));
  EXPECT_TRUE(fifo.TakeDue(t0 + milliseconds(15)).empty());
  EXPECT_EQ(fifo.TakeDue(t0 + milliseconds(16)), Bytes(9));
  EXPECT_TRUE(fifo.Empty());
  EXPECT_FALSE(fifo.NextDue().has_value());

  // 100 bytes arriving 10 us apart (a 115200 bit/s reply is 87 us a byte):
  // the first 62 leave with the 62nd, the other 38 once the first of them
  // waited 16 ms.
  using std::chrono::microseconds;
  for (std::size_t i = 0; i < 100; ++i) fifo.Push(static_cast<std::uint8_t>(i), t0 + microseconds(10 * i));
  EXPECT_EQ(fifo.NextDue(), t0 + microseconds(610));
  EXPECT_EQ(fifo.TakeDue(t0 + microseconds(990)), Bytes(62));
  EXPECT_EQ(fifo.NextDue(), t0 + microseconds(620) + milliseconds(16));
  EXPECT_TRUE(fifo.TakeDue(t0 + milliseconds(16)).empty());
  EXPECT_EQ(fifo.TakeDue(t0 + microseconds(620) + milliseconds(16)), Bytes(38, 62));
  // Late is late: whatever came meanwhile goes with the waiting bytes.
  fifo.Push(1, t0);
  fifo.Push(2, t0 + milliseconds(20));
  EXPECT_EQ(fifo.TakeDue(t0 + milliseconds(20)), (std::vector<std::uint8_t>{1, 2}));
}

TEST(UsbAdapter, TheOptionsThatPutAnAdapterOnTheLine) {
  SimOptions o;
  std::string err;
  ASSERT_EQ(ParseCommandLine({"--adapter-latency", "16"}, "/ports", &o, &err), ParseOutcome::Run) << err;
  EXPECT_EQ(o.adapterLatency, milliseconds(16));
  EXPECT_FALSE(o.lowLatencyOnOpen);
  ASSERT_EQ(ParseCommandLine({"--low-latency-on-open"}, "/ports", &o, &err), ParseOutcome::Run) << err;
  EXPECT_TRUE(o.lowLatencyOnOpen);
  EXPECT_EQ(o.adapterLatency, milliseconds(16));  // the FTDI default takes the request
  ASSERT_EQ(ParseCommandLine({}, "/ports", &o, &err), ParseOutcome::Run) << err;
  EXPECT_EQ(o.adapterLatency, milliseconds(0));  // no adapter unless asked
  for (const char* bad : {"0", "256", "x", ""}) {
    EXPECT_EQ(ParseCommandLine({"--adapter-latency", bad}, "/ports", &o, &err), ParseOutcome::Error) << bad;
  }
}

}  // namespace
}  // namespace kv9::sim
