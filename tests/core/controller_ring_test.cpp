// The receive ring, fed through a real pty and the port's event thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "link/flash_wr_rx_cont.h"
#include "platform/message_pump.h"
#include "tests/support/pty_port.h"
#include "tests/support/recorders.h"
#include "tests/support/watchdog.h"

namespace kv9 {
namespace {

class RingTest : public ::testing::Test {
 protected:
  RingTest() : pty_(7), cont_(&ui_, &pane_, TProgSettings{}) {}
  void SetUp() override { ASSERT_EQ(cont_.OpenPort(7), 1); }

  // Lets the event thread hand the bytes over until `count` are in the ring
  // (the time-out only keeps a lost byte from hanging the suite).
  void PumpUntil(int count) { ASSERT_EQ(cont_.WaitRxCount(10000, count), 1); }

  test::PtyPort pty_;
  test::RecordingUi ui_;
  test::RecordingLogPane pane_;
  TFlashWrRXCont cont_;
};

TEST_F(RingTest, BytesAcrossTheEndOfTheRingComeBackInOrder) {
  // Both indexes three places before the end of the ring.
  cont_.RxLog = 0;
  const std::vector<std::uint8_t> before(kRxRingSize - 3, 0x55);
  cont_.StoreReceived(before.data(), static_cast<int>(before.size()));
  for (std::size_t i = 0; i < before.size(); ++i) cont_.RxByte();
  pty_.Send({1, 2, 3, 4, 5, 6, 7});
  PumpUntil(7);
  EXPECT_EQ(cont_.RxCount(), 7);
  EXPECT_EQ(cont_.PeekRx(6), 7);
  std::vector<std::uint8_t> got;
  for (int i = 0; i < 7; ++i) got.push_back(cont_.RxByte());
  EXPECT_EQ(got, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(cont_.RxCount(), 0);
}

TEST_F(RingTest, RxTraceLineWithDebugAndRxLog) {
  cont_.DebugLog = 1;
  pty_.Send({0x02, 0x00, 0x0D});
  PumpUntil(3);
  ASSERT_FALSE(pane_.lines.empty());
  EXPECT_EQ(pane_.lines.back(), "RX: 02 00 0D ");
}

TEST_F(RingTest, FlushEmptiesAndResetsBothIndexes) {
  pty_.Send({9, 9, 9});
  PumpUntil(3);
  cont_.RxByte();
  cont_.RxFlush();
  EXPECT_EQ(cont_.RxCount(), 0);
  // Both indexes start again at 0: the next reply is at the ring's start,
  // its first bytes read back as they came.
  pty_.Send({4, 5});
  PumpUntil(2);
  EXPECT_EQ(cont_.RxCount(), 2);
  EXPECT_EQ(cont_.RxByte(), 4);
  EXPECT_EQ(cont_.RxByte(), 5);
}

TEST_F(RingTest, MoreThanTheRingHoldsDropsTheExcessAndKeepsUnreadBytes) {
  cont_.DebugLog = 1;
  cont_.RxLog = 0;
  std::vector<std::uint8_t> first(16000);
  for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<std::uint8_t>(i);
  // A pty holds only a few kilobytes: the module side writes from its own
  // thread while this (user-interface) thread pumps the bytes into the ring.
  std::thread module([&] { pty_.Send(first); });
  PumpUntil(16000);
  module.join();
  module = std::thread([&] { pty_.Send(std::vector<std::uint8_t>(1000, 0xEE)); });
  // Pump until the second batch was handed over completely (it cannot all fit).
  auto dropped = [&] {
    int total = 0;
    for (const auto& line : pane_.lines) {
      int n = 0;
      if (std::sscanf(line.c_str(), "RX: overrun, %d bytes dropped", &n) == 1) total += n;
    }
    return total;
  };
  test::PumpUntil([&] { return dropped() >= 617; }, [] { WaitMessages(10); }, 10000);
  module.join();
  EXPECT_EQ(cont_.RxCount(), kRxRingSize - 1);
  for (std::size_t i = 0; i < first.size(); ++i) {
    ASSERT_EQ(cont_.RxByte(), static_cast<std::uint8_t>(i)) << i;
  }
  for (int i = 0; i < kRxRingSize - 1 - 16000; ++i) ASSERT_EQ(cont_.RxByte(), 0xEE);
  EXPECT_EQ(cont_.RxCount(), 0);
  EXPECT_EQ(dropped(), 617);
  EXPECT_EQ(pane_.lines.front().rfind("RX: overrun, ", 0), 0u);
}

TEST_F(RingTest, SendBytesTracesEveryByteAndFlushesFirst) {
  cont_.DebugLog = 1;
  pty_.Send({5, 5});
  PumpUntil(2);
  const std::uint8_t frame[] = {0x02, 0x00, 0x0D};
  EXPECT_EQ(cont_.SendBytes(frame, 3, 1), 3);
  EXPECT_EQ(cont_.RxCount(), 0);
  EXPECT_EQ(pane_.lines.back(), "TX: 02 00 0D ");
  EXPECT_EQ(pty_.Receive(3), (std::vector<std::uint8_t>{0x02, 0x00, 0x0D}));
}

TEST_F(RingTest, DeviceVanishingWhileBytesWaitIsOneIoErrorNotAnException) {
  cont_.DebugLog = 1;
  cont_.RxLog = 0;
  pty_.Send({1, 2, 3});
  // The bytes wait in the driver, not yet handed over, when the adapter goes.
  ASSERT_TRUE(test::PumpUntil([&] { return cont_.CommX1.InputCount() >= 3; },
                              [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }, 10000));
  pty_.Unplug();
  auto ioErrors = [&] { return std::count(pane_.lines.begin(), pane_.lines.end(), "<ComError:IO>"); };
  bool reported = false;
  EXPECT_NO_THROW(reported = test::PumpUntil([&] { return ioErrors() > 0; }, [] { WaitMessages(10); }, 10000));
  EXPECT_TRUE(reported);
  int got = -1;
  EXPECT_NO_THROW(got = cont_.WaitRxCount(100, 10));
  EXPECT_EQ(got, 0);
  EXPECT_EQ(ioErrors(), 1);
}

TEST_F(RingTest, WaitRxCountTimesOutWhenTooFewBytesCome) {
  pty_.Send({1});
  PumpUntil(1);
  EXPECT_EQ(cont_.WaitRxCount(100, 2), 0);
  EXPECT_EQ(cont_.RxCount(), 1);
}

}  // namespace
}  // namespace kv9
