#pragma once
// The microcontroller's boot program as the module's serial line sees it,
// together with the module's resident loader (0x9F CRC, 0x9D restart), which
// answers in the same command state once the boot program has taken over.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "module_context.h"

namespace kv9::sim {

// Boot program status codes, as the status inquiry reports them.
enum class BootState : std::uint8_t {
  Matching = 0x00,            // bit-rate matching not finished (not reportable yet)
  DeviceSelect = 0x11,
  ClockModeSelect = 0x12,
  BitRateSelect = 0x13,
  TransitionWait = 0x1F,
  Erasing = 0x31,
  CommandWait = 0x3F,
  ProgramDataWait = 0x4F,
  EraseBlockWait = 0x5F,
};

// Boot program error codes.
namespace boot_error {
inline constexpr std::uint8_t kNone = 0x00;
inline constexpr std::uint8_t kSum = 0x11;
inline constexpr std::uint8_t kDeviceCode = 0x21;
inline constexpr std::uint8_t kClockMode = 0x22;
inline constexpr std::uint8_t kBitRate = 0x24;
inline constexpr std::uint8_t kInputFrequency = 0x25;
inline constexpr std::uint8_t kMultiplier = 0x26;
inline constexpr std::uint8_t kOperatingFrequency = 0x27;
inline constexpr std::uint8_t kBlockNumber = 0x29;
inline constexpr std::uint8_t kAddress = 0x2A;
inline constexpr std::uint8_t kDataLength = 0x2B;
inline constexpr std::uint8_t kErase = 0x51;
inline constexpr std::uint8_t kNotErased = 0x52;
inline constexpr std::uint8_t kProgram = 0x53;
inline constexpr std::uint8_t kSelection = 0x54;
inline constexpr std::uint8_t kIdCode = 0x61;  // ID code mismatch
inline constexpr std::uint8_t kCommand = 0x80;
inline constexpr std::uint8_t kMatching = 0xFF;
}  // namespace boot_error

class BootProgram {
 public:
  // Before any 0x00 byte has been measured the boot program reports this
  // rate (when matching may happen at it), as the tool starts there.
  static constexpr std::uint32_t kStartRate = 19200;
  // Bit-rate matching answers once this many 0x00 bytes have arrived at one rate.
  static constexpr unsigned kZerosBeforeAnswer = 3;

  explicit BootProgram(ModuleContext& ctx) : ctx_(ctx) {}

  // Power-up in boot mode: matching at the start rate, nothing selected.
  void Start();
  // Until its 0x00 answer it measures bytes at any of the match rates; from
  // then on its UART runs at one rate.
  bool Hears(std::uint32_t rate) const;
  void Receive(std::span<const std::uint8_t> bytes, std::uint32_t rate, Clock::time_point now);
  void DropPartial() { pending_.clear(); }
  std::optional<Clock::time_point> PartialDeadline() const;

  std::uint32_t ListenRate() const { return rate_; }
  BootState State() const { return state_; }
  std::uint8_t LastError() const { return lastError_; }

 private:
  // One row per command the boot program knows (the table is in
  // boot_program.cpp): its code, what it is, how its frame is laid out, the
  // phases in which it is accepted and its handler.
  struct Command;
  // A handler returns 0 when it succeeded (the last error is cleared), the
  // error code to report, or nothing when it only answered and the last
  // error stands (the inquiries, so the status inquiry still reports it).
  using Outcome = std::optional<std::uint8_t>;
  using Handler = Outcome (BootProgram::*)(std::span<const std::uint8_t> frame);
  static const Command kCommands[];
  static const Command* Find(std::uint8_t code);

  // Length of the frame that starts with pending_[0], or 0 while unknown.
  std::size_t FrameLength() const;
  // What the program waits for now, as one bit of a command's accepted phases.
  std::uint16_t Phase() const;
  void Dispatch(const std::vector<std::uint8_t>& f);
  void Matching(std::uint8_t b);

  void Ack(std::uint8_t b);
  void Error(std::uint8_t command, std::uint8_t code);
  void DataReply(std::uint8_t code, const std::vector<std::uint8_t>& data);

  Outcome DeviceSelect(std::span<const std::uint8_t> f);
  Outcome ClockModeSelect(std::span<const std::uint8_t> f);
  Outcome NewBitRate(std::span<const std::uint8_t> f);
  Outcome ConfirmBitRate(std::span<const std::uint8_t> f);
  Outcome Transition(std::span<const std::uint8_t> f);
  Outcome IdCheck(std::span<const std::uint8_t> f);
  Outcome Inquiry(std::span<const std::uint8_t> f);
  void EraseBlockReply();
  Outcome SelectProgramArea(std::span<const std::uint8_t> f);
  Outcome Program(std::span<const std::uint8_t> f);
  Outcome SelectErase(std::span<const std::uint8_t> f);
  Outcome EraseBlock(std::span<const std::uint8_t> f);
  Outcome BlankCheck(std::span<const std::uint8_t> f);
  Outcome SumCheck(std::span<const std::uint8_t> f);
  Outcome MemoryRead(std::span<const std::uint8_t> f);
  Outcome LockBit(std::span<const std::uint8_t> f);
  Outcome EnableLockBits(std::span<const std::uint8_t> f);
  Outcome LoaderCrc(std::span<const std::uint8_t> f);
  Outcome LoaderRestart(std::span<const std::uint8_t> f);
  bool LoaderPresent() const;

  ModuleContext& ctx_;
  BootState state_ = BootState::Matching;
  std::uint32_t rate_ = kStartRate;
  std::uint32_t arrivalRate_ = kStartRate;  // rate of the batch being handled
  std::uint8_t lastError_ = boot_error::kNone;
  unsigned zeros_ = 0;
  bool matched_ = false;         // 0x00 answered, waiting for 0x55
  bool confirmPending_ = false;  // new bit rate acknowledged, waiting for 0x06
  bool idPending_ = false;       // state transition reported protection
  bool programUserBoot_ = false; // which area the programming selection chose
  std::vector<std::uint8_t> pending_;
  Clock::time_point lastByteAt_{};
};

}  // namespace kv9::sim
