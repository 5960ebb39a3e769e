#pragma once
// The event thread of one open port. It only waits for port events and hands
// each batch to the user-interface thread, blocking until it was handled.
#include <atomic>
#include <cstdint>
#include <thread>

#include "serial/com_types.h"

namespace kv9 {

class TCustomComPort;
class ComDevice;
class MessagePump;

class TComThread {
 public:
  TComThread(TCustomComPort& port, ComDevice& device, std::uint64_t generation);
  TComThread(const TComThread&) = delete;
  TComThread& operator=(const TComThread&) = delete;
  // Stops and joins; see Stop.
  ~TComThread();

  // User-interface thread. Ends the thread without waiting on the
  // user-interface thread: a hand-over still pending is withdrawn, so closing
  // never deadlocks against it. On its way out the thread discards the
  // driver's queues, as closing promises.
  void Stop();

 private:
  void Run();
  // Hands one batch to the user-interface thread; false when stopped meanwhile.
  bool HandOver(TComEvents events, bool gone);

  TCustomComPort& port_;
  ComDevice& device_;
  std::uint64_t generation_;
  // The pump the thread hands over to, fixed when the port opened, so that
  // stopping cancels the waiter on the pump it is actually waiting on.
  MessagePump& pump_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace kv9
