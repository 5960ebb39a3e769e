#pragma once
// The link as the boot-mode programmer sees it: bytes out, bytes in through
// the receive ring, the reply wait, a reopen of the port at another rate,
// and the log. It lives with the programmer, its one consumer; the link
// controller (link/) implements it. The programmer knows nothing else of the
// controller, so it can be driven by anything that moves bytes.
#include <cstdint>
#include <string>

namespace kv9 {

class LinkUi;

class LineLink {
 public:
  virtual ~LineLink() = default;

  // Writes count bytes (after RxFlush when flushFirst); the number the port
  // accepted, 0 when nothing was sent (port closed, or the run was asked to
  // stop: then every later wait ends at once).
  virtual int SendBytes(const std::uint8_t* bytes, int count, int flushFirst) = 0;
  // Unread bytes in the receive ring.
  virtual int RxCount() const = 0;
  // Takes the next unread byte; only after RxCount reported it.
  virtual std::uint8_t RxByte() = 0;
  // The unread byte `offset` places ahead, left in the ring.
  virtual std::uint8_t PeekRx(int offset) const = 0;
  virtual void RxFlush() = 0;

  // The reply wait: starts the wait timer and waits until count bytes are
  // unread (1) or timeoutMs passed (0). Consumes nothing.
  virtual int WaitRxCount(std::uint32_t timeoutMs, int count) = 0;
  // Starts the wait timer without waiting.
  virtual void StartWaitTimer() = 0;
  // The reply wait on the timer already running, so a reply read in two
  // stages (header, then the rest) keeps a single deadline.
  virtual int PollRxCount(std::uint32_t timeoutMs, int count) = 0;

  // Closes the port and opens it again at `bitRate` (any rate); the ring
  // starts empty. 1 when the port is open afterwards.
  virtual int ReopenAtRate(std::uint32_t bitRate) = 0;
  // A frame was held back because the person asked the run to stop.
  virtual bool Stopped() const = 0;

  // One line into the log; force 0 lines only while debug logging is on.
  virtual void AddLog(const std::string& text, int force) = 0;
  // The front end (gauge, address display); may be null.
  virtual LinkUi* Owner() const = 0;
};

}  // namespace kv9
