#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/message_pump.h"

namespace kv9 {
namespace {

TEST(MessagePump, WaitReturnsOnceAHandOverRan) {
  MessagePump pump;
  std::atomic<bool> cancelled{false};
  bool ran = false;
  std::thread worker([&] { EXPECT_TRUE(pump.HandOver([&] { ran = true; }, cancelled)); });
  // Far longer than any test may take: only the hand-over can end it early.
  const auto before = pump.HandledCount();
  pump.WaitMessages(60000);
  EXPECT_TRUE(ran);
  EXPECT_EQ(pump.HandledCount(), before + 1);
  worker.join();
}

TEST(MessagePump, CancelledHandOverIsWithdrawnAndNeverRuns) {
  MessagePump pump;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> queued{false};
  bool ran = false;
  bool result = true;
  std::thread worker([&] {
    queued = true;
    result = pump.HandOver([&] { ran = true; }, cancelled);
  });
  while (!queued) std::this_thread::yield();
  cancelled = true;
  pump.CancelWaiters();
  worker.join();
  pump.ProcessMessages();
  EXPECT_FALSE(result);
  EXPECT_FALSE(ran);
}

TEST(MessagePump, AnExceptionInTheRoutineStillReleasesTheWorker) {
  MessagePump pump;
  std::atomic<bool> cancelled{false};
  std::thread worker([&] { pump.HandOver([] { throw std::runtime_error("boom"); }, cancelled); });
  bool thrown = false;
  while (!thrown) {
    try {
      pump.WaitMessages(1000);
    } catch (const std::runtime_error&) {
      thrown = true;
    }
  }
  worker.join();  // would hang if the worker were still blocked
  SUCCEED();
}

}  // namespace
}  // namespace kv9
