// The hand-over between the port's event thread and the user-interface
// thread. Here the test thread is the user-interface thread and helper
// threads play event threads.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/message_pump.h"
#include "tests/support/watchdog.h"

namespace kv9 {
namespace {

using test::Clock;

// A queue pump that tells the test when a hand-over has been queued.
class SignallingPump : public MessagePump {
 public:
  std::atomic<int> queued{0};

 protected:
  void WakeUiThread() override { queued.fetch_add(1); }
};

bool WaitFor(const std::atomic<int>& counter, int atLeast, int timeoutMs = 2000) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (counter.load() < atLeast) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(SerialPump, LongWaitEndsWithTheFirstHandOver) {
  // A reply wait must not sit out its sleep once bytes were handed over: a
  // wait of a minute returns as soon as the routine ran (the watchdog turns
  // a wait that does not end early into a failure).
  MessagePump pump;
  std::atomic<bool> never{false};
  std::atomic<bool> ran{false};
  std::atomic<bool> handedOver{false};
  std::thread eventThread([&] {
    // Most runs find the user-interface thread asleep in the wait, so the
    // hand-over has to wake it; the result does not depend on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    handedOver = pump.HandOver([&] { ran = true; }, never);
  });
  const auto before = pump.HandledCount();
  test::WithWatchdog(10000, "WaitMessages(60000) after a hand-over", [&] { pump.WaitMessages(60000); });
  // The routine ran on this thread, once, inside the wait.
  EXPECT_TRUE(ran.load());
  EXPECT_EQ(pump.HandledCount(), before + 1);
  eventThread.join();
  EXPECT_TRUE(handedOver.load());
}

TEST(SerialPump, WaitMessagesWithNothingQueuedRunsNothing) {
  MessagePump pump;
  const auto before = pump.HandledCount();
  pump.WaitMessages(5);
  pump.ProcessMessages();
  EXPECT_EQ(pump.HandledCount(), before);
}

TEST(SerialPump, RoutinesRunOnTheProcessingThreadInOrder) {
  SignallingPump pump;
  std::atomic<bool> never{false};
  std::vector<int> order;
  std::thread::id ranOn;
  std::thread first([&] { pump.HandOver([&] { order.push_back(1); ranOn = std::this_thread::get_id(); }, never); });
  ASSERT_TRUE(WaitFor(pump.queued, 1));
  std::thread second([&] { pump.HandOver([&] { order.push_back(2); }, never); });
  ASSERT_TRUE(WaitFor(pump.queued, 2));
  pump.ProcessMessages();
  first.join();
  second.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(pump.HandledCount(), 2u);
}

TEST(SerialPump, CancelledHandOverIsWithdrawnAndNeverRuns) {
  SignallingPump pump;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  std::thread eventThread([&] { result = pump.HandOver([&] { ran = true; }, cancelled) ? 1 : 0; });
  ASSERT_TRUE(WaitFor(pump.queued, 1));
  cancelled = true;
  pump.CancelWaiters();
  test::WithWatchdog(5000, "a cancelled HandOver", [&] { eventThread.join(); });
  EXPECT_EQ(result.load(), 0);
  pump.ProcessMessages();
  pump.WaitMessages(5);
  EXPECT_FALSE(ran.load());
  EXPECT_EQ(pump.HandledCount(), 0u);
}

TEST(SerialPump, HandOverAfterCancelIsRefusedAtOnce) {
  MessagePump pump;
  std::atomic<bool> cancelled{true};
  bool ran = false;
  EXPECT_FALSE(pump.HandOver([&] { ran = true; }, cancelled));
  pump.ProcessMessages();
  EXPECT_FALSE(ran);
}

TEST(SerialPump, ThrowingRoutineStillReleasesTheEventThread) {
  SignallingPump pump;
  std::atomic<bool> never{false};
  std::atomic<int> result{-1};
  std::thread eventThread([&] {
    result = pump.HandOver([] { throw std::runtime_error("handler failed"); }, never) ? 1 : 0;
  });
  ASSERT_TRUE(WaitFor(pump.queued, 1));
  EXPECT_THROW(pump.ProcessMessages(), std::runtime_error);
  test::WithWatchdog(5000, "HandOver after a throwing routine", [&] { eventThread.join(); });
  EXPECT_EQ(result.load(), 1);
  EXPECT_EQ(pump.HandledCount(), 1u);
}

TEST(SerialPump, InstalledPumpIsUsedUntilReset) {
  SignallingPump pump;
  SetPump(&pump);
  EXPECT_EQ(&Pump(), &pump);
  SetPump(nullptr);
  EXPECT_NE(&Pump(), &pump);
}

}  // namespace
}  // namespace kv9
