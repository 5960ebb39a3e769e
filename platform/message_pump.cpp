#include "platform/message_pump.h"

#include <chrono>

namespace kv9 {

void MessagePump::ProcessMessages() { RunPending(); }

void MessagePump::WaitMessages(std::uint32_t ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (RunPending() > 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    WaitForPending(static_cast<std::uint32_t>(left.count()) + 1);
  }
}

bool MessagePump::HandOver(std::function<void()> fn, const std::atomic<bool>& cancelled) {
  auto request = std::make_shared<Request>();
  request->fn = std::move(fn);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled.load()) return false;
    queue_.push_back(request);
  }
  queued_.notify_all();
  WakeUiThread();
  std::unique_lock<std::mutex> lock(mutex_);
  ran_.wait(lock, [&] { return request->done || cancelled.load(); });
  if (request->done) return true;
  // Cancelled before the user-interface thread took it: withdraw it so it
  // never runs against a port that is being closed.
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (*it == request) {
      queue_.erase(it);
      return false;
    }
  }
  // Already taken: it is running on the user-interface thread right now
  // (the close came from inside it). The request stays alive through the
  // queue runner's reference, so returning here is safe.
  return false;
}

void MessagePump::CancelWaiters() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  ran_.notify_all();
}

int MessagePump::RunPending() {
  int count = 0;
  for (;;) {
    std::shared_ptr<Request> request;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) break;
      request = queue_.front();
      queue_.pop_front();
    }
    // An exception from the routine must still release the waiting thread.
    struct Release {
      MessagePump* pump;
      Request* request;
      ~Release() {
        {
          std::lock_guard<std::mutex> lock(pump->mutex_);
          request->done = true;
        }
        pump->handled_.fetch_add(1);
        pump->ran_.notify_all();
      }
    } release{this, request.get()};
    ++count;
    request->fn();
  }
  return count;
}

bool MessagePump::WaitForPending(std::uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return queued_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !queue_.empty(); });
}

namespace {
MessagePump& DefaultPump() {
  static MessagePump pump;
  return pump;
}
std::atomic<MessagePump*> g_pump{nullptr};
}  // namespace

MessagePump& Pump() {
  MessagePump* pump = g_pump.load();
  return pump ? *pump : DefaultPump();
}

void SetPump(MessagePump* pump) { g_pump.store(pump); }

}  // namespace kv9
