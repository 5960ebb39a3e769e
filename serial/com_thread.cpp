#include "serial/com_thread.h"

#include "platform/message_pump.h"
#include "serial/com_backend.h"
#include "serial/com_error.h"
#include "serial/com_port.h"

namespace kv9 {

TComThread::TComThread(TCustomComPort& port, ComDevice& device, std::uint64_t generation)
    : port_(port), device_(device), generation_(generation), pump_(Pump()), thread_([this] { Run(); }) {}

TComThread::~TComThread() { Stop(); }

void TComThread::Stop() {
  if (!thread_.joinable()) return;
  stopping_.store(true);
  device_.RequestStop();
  pump_.CancelWaiters();
  thread_.join();
}

bool TComThread::HandOver(TComEvents events, bool gone) {
  TCustomComPort* port = &port_;
  const std::uint64_t generation = generation_;
  return pump_.HandOver([port, events, gone, generation] { port->DoEvents(events, gone, generation); },
                        stopping_);
}

void TComThread::Run() {
  for (;;) {
    ComWaitResult seen = device_.WaitEvents();
    if (seen.stopped || stopping_.load()) break;
    const std::uint64_t readBefore = device_.BytesRead();
    if (!seen.events.Empty() && !HandOver(seen.events, seen.gone)) break;
    // An unplugged device cannot come back on this descriptor: end the wait
    // loop instead of spinning on its hang-up. Writes will report the error.
    if (seen.gone) return;
    // Bytes handed over but not taken would wake every poll at once; bytes
    // that arrived while the batch was handled must not wait, though.
    if (seen.events.Contains(evRxChar) && device_.BytesRead() == readBefore) {
      int left = 0;
      try {
        left = device_.InputCount();
      } catch (const EComPort&) {
        // The device failed under us: report it once, as an unplug is.
        HandOver(TComEvents{evError}, true);
        return;
      }
      if (left > 0) device_.BackOff(10);
    }
  }
  device_.Purge(true, true);
}

}  // namespace kv9
