#pragma once
// The user-interface thread's message processing, reduced to what the core
// needs: process pending messages, wait for messages a bounded time, and the
// hand-over through which the serial port's event thread runs a routine on
// the user-interface thread.
//
// Received bytes reach the controller only while the user-interface thread
// processes messages (inside ProcessMessages or WaitMessages). The default
// pump is a plain queue (headless front end, core tests); the GUI installs
// one that also drives the toolkit's event loop.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kv9 {

class MessagePump {
 public:
  MessagePump() = default;
  MessagePump(const MessagePump&) = delete;
  MessagePump& operator=(const MessagePump&) = delete;
  virtual ~MessagePump() = default;

  // User-interface thread. Runs every pending hand-over (the GUI pump also
  // handles the toolkit's pending events). Does not wait.
  virtual void ProcessMessages();

  // User-interface thread. Processes messages for up to ms milliseconds and
  // returns early once at least one hand-over has been handled, so a reply
  // wait notices received bytes without sitting out its whole sleep.
  virtual void WaitMessages(std::uint32_t ms);

  // Any thread but the user-interface thread. Runs fn on the user-interface
  // thread the next time it processes messages and blocks until fn has run
  // (returns true) or until `cancelled` is true and CancelWaiters() was called
  // (returns false; fn will then never run). Cancellation is how closing a
  // port ends its event thread without waiting on the user-interface thread.
  bool HandOver(std::function<void()> fn, const std::atomic<bool>& cancelled);

  // Wakes every blocked HandOver so it re-checks its cancel flag.
  void CancelWaiters();

  // Number of hand-overs run so far (for waits that return on a hand-over).
  std::uint64_t HandledCount() const { return handled_.load(); }

 protected:
  // Called after a hand-over was queued; a GUI pump posts a toolkit event so
  // its idle event loop also drains the queue. The queue pump needs nothing.
  virtual void WakeUiThread() {}

  // User-interface thread: runs the queued hand-overs; returns how many ran.
  int RunPending();

  // Blocks up to ms for a hand-over to be queued; true when one is pending.
  bool WaitForPending(std::uint32_t ms);

 private:
  struct Request {
    std::function<void()> fn;
    bool done = false;
  };
  std::mutex mutex_;
  std::condition_variable queued_;  // a hand-over was queued
  std::condition_variable ran_;     // a hand-over ran or waiters must re-check
  std::deque<std::shared_ptr<Request>> queue_;
  std::atomic<std::uint64_t> handled_{0};
};

// The program's pump. SetPump(nullptr) restores the default queue pump; the
// pump must outlive every port that is open while it is installed.
MessagePump& Pump();
void SetPump(MessagePump* pump);

inline void ProcessMessages() { Pump().ProcessMessages(); }
inline void WaitMessages(std::uint32_t ms) { Pump().WaitMessages(ms); }

}  // namespace kv9
