#pragma once
// The one exchange of the module's own command frames: build the frame, log
// it, send it with the receive ring flushed first, wait for a reply of a named
// length, check that it is one whole frame and then its status. Every module
// command goes through it, so a command only says what it sends and how long
// its answer is.
#include <cstdint>
#include <string>
#include <vector>

namespace kv9 {

class TFlashWrRXCont;

// Whole reply lengths, STX to CR, of the module's commands.
namespace module_reply {
constexpr int kDousaMode = 7;
constexpr int kTxOnOff = 9;
constexpr int kEepromWrite = 8;
constexpr int kEepromInit = 8;
// The boot-mode request's acknowledgement echoes its sub-command.
constexpr int kProgMode = 8;
// Five header bytes, nine text bytes, ETX, SUM, CR.
constexpr int kIdentity = 17;
// STX, 0x00, status, LEN, sub-command, address, count, the words, ETX, SUM, CR.
constexpr int EepromRead(int wordCount) { return 2 * wordCount + 10; }
}  // namespace module_reply

constexpr std::uint32_t kModuleReplyTimeoutMs = 1000;
// A read-only query whose reply arrives spoilt (one bit error on the line) is
// asked again, up to this many times in all: asking changes nothing in the
// module. Anything that writes, erases, initialises or restarts is sent once.
constexpr int kQueryAttempts = 3;
// The boot-mode request waits longer: the module acknowledges just before it
// resets its microcontroller.
constexpr std::uint32_t kProgModeReplyTimeoutMs = 1500;

struct ModuleRequest {
  std::string title;  // the trace line logged before the frame
  int hexForce = 0;   // the force of the frame's hex line
  std::uint8_t code = 0;
  std::vector<std::uint8_t> data;
  int replyLength = 0;
  std::uint32_t timeoutMs = kModuleReplyTimeoutMs;
  // How many times the frame may be sent while its reply fails its check:
  // kQueryAttempts for read-only queries, 1 for everything else. A reply
  // that never comes is not asked for again (nothing may be listening).
  int attempts = 1;
  // What a whole reply repeats right after its LEN byte (the sub-command
  // and the fields naming what was asked); a reply that repeats something
  // else answers another request and fails the check. Empty: not judged.
  std::vector<std::uint8_t> echo{};
};

// Sends the request's frame and waits for replyLength bytes; 1 when they
// are unread in the ring (nothing taken) and form one whole reply frame
// (CheckModuleReply) that repeats the request's echo, 0 after the time-out.
// A reply that is not whole counts as none, after a debug line saying what
// was wrong: the frame is sent again while the request's attempts last (a
// debug line says so), else 0; its bytes stay unread until the next
// command's flush, as a late reply's do.
int ExchangeModuleFrame(TFlashWrRXCont& cont, const ModuleRequest& request);

// The waiting half of ExchangeModuleFrame, for a frame already sent: the
// reply wait for `length` bytes, then the same judgement.
int AwaitWholeReply(TFlashWrRXCont& cont, std::uint32_t timeoutMs, int length);

// Takes the first three bytes of a reply already in the ring: 1 when the
// third, its status, says "accepted". The rest stays unread for the caller.
int TakeReplyStatus(TFlashWrRXCont& cont);

// The checked exchange: ExchangeModuleFrame, then TakeReplyStatus.
int ExchangeCheckedModuleFrame(TFlashWrRXCont& cont, const ModuleRequest& request);

}  // namespace kv9
