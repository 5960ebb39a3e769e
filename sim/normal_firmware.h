#pragma once
// The module's normal firmware: its framed command protocol at its own bit
// rate (STX, 0x00, code, LEN, data, ETX, FrameSum, CR), the replies the tool
// relies on, the EEPROM images, the power query and the boot-mode request.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "module_context.h"

namespace kv9::sim {

// Reply status bytes. "0" accepts; the others are this firmware's refusals.
inline constexpr std::uint8_t kStatusOk = 0x30;
inline constexpr std::uint8_t kStatusBadParameter = 0x31;
inline constexpr std::uint8_t kStatusUnknownCommand = 0x32;
inline constexpr std::uint8_t kStatusBadSum = 0x33;

// The access code the boot-mode request must carry.
inline constexpr char kBootAccessCode[] = "583914207";
// Shown instead of the version text when the flash holds no printable one.
inline constexpr char kUnknownRomVersion[] = "V?.??.?? ";

// Builds a reply frame: STX, 0x00, status, LEN, data, ETX, FrameSum, CR.
std::vector<std::uint8_t> FirmwareReply(std::uint8_t status, std::span<const std::uint8_t> data);

class NormalFirmware {
 public:
  explicit NormalFirmware(ModuleContext& ctx) : ctx_(ctx) {}

  // The firmware starts (power-up or restart): it reads its own version text
  // from flash and forgets any half-received frame.
  void Start();
  void Receive(std::span<const std::uint8_t> bytes, Clock::time_point now);
  void DropPartial() { pending_.clear(); }
  std::optional<Clock::time_point> PartialDeadline() const;
  const std::array<std::uint8_t, 9>& RomVersion() const { return romVersion_; }
  // False until the firmware first started: a module that came up in boot
  // mode has not read any version yet.
  bool HasRun() const { return hasRun_; }
  bool TransmitterOn() const { return txOn_; }

 private:
  void Dispatch(const std::vector<std::uint8_t>& frame);
  // The status that refuses a frame before its command is looked at (wrong
  // sum, not one of ours), or nothing.
  std::optional<std::uint8_t> FrameRefusal(const std::vector<std::uint8_t>& frame) const;
  // Runs the frame's command; returns the status and fills the reply data.
  std::uint8_t Execute(const std::vector<std::uint8_t>& frame, std::vector<std::uint8_t>* reply);
  void Answer(std::uint8_t status, std::vector<std::uint8_t> data);
  // Each handler returns the status and fills the reply data.
  std::uint8_t OperationMode(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r);
  std::uint8_t TransmitterSwitch(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r);
  std::uint8_t EepromRead(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r);
  std::uint8_t EepromWrite(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r);
  std::uint8_t EepromInit(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r);
  std::uint8_t PowerQuery(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r);
  std::uint8_t BootModeRequest(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r);

  ModuleContext& ctx_;
  std::vector<std::uint8_t> pending_;
  Clock::time_point lastByteAt_{};
  std::array<std::uint8_t, 9> romVersion_{};
  bool txOn_ = false;
  bool hasRun_ = false;
  std::uint8_t operationFlags_[7]{};
};

}  // namespace kv9::sim
