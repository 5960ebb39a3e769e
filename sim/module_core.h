#pragma once
// The simulated module without its line: which personality runs (normal
// firmware, boot program, or none while the microcontroller restarts), the
// bit rate its UART listens at, and the timers of restarts and cut-off
// frames. Pure logic driven by the port thread; no I/O and no locking.
#include <optional>
#include <span>
#include <string>

#include "boot_program.h"
#include "module_context.h"
#include "normal_firmware.h"

namespace kv9::sim {

enum class Personality { Firmware, Boot, Restarting, Gone };

const char* PersonalityName(Personality p);

class ModuleCore {
 public:
  explicit ModuleCore(const SimOptions& options);

  // True when bytes sent at `rate` reach the running personality as bytes:
  // the firmware's own rate, the boot program's current rate, or while it
  // still matches, any rate it can measure.
  bool Hears(std::uint32_t rate) const;
  // Bytes that arrived at a rate the module hears (see Hears).
  void Receive(std::span<const std::uint8_t> bytes, std::uint32_t rate, Clock::time_point now);
  // Bytes that arrived at a rate the module does not listen at: to the UART
  // they are framing errors and noise, which also spoils any frame in progress.
  void Noise(std::size_t count, std::uint32_t rate);
  // The module is switched off now and on again after `off`: it restarts
  // into its firmware when the flash still holds it (nothing was erased
  // since the firmware last started), else into its boot program, fresh.
  void PowerCycle(Clock::time_point now, Clock::duration off);
  // Runs timers (restart completion, cut-off frames).
  void Tick(Clock::time_point now);
  std::optional<Clock::time_point> NextDeadline() const;

  // The module's UART rate, or 0 while nothing listens (restart, unplugged).
  std::uint32_t ListenRate() const;
  Personality Current() const { return personality_; }
  // True once the module asked for its port to be closed (cable pulled).
  bool Unplugged() const { return personality_ == Personality::Gone; }

  ModuleContext& Context() { return ctx_; }
  const ModuleContext& Context() const { return ctx_; }
  const BootProgram& Boot() const { return boot_; }
  const NormalFirmware& Firmware() const { return firmware_; }
  std::string StateText() const;

 private:
  void HandleRequest(Clock::time_point now);

  ModuleContext ctx_;
  NormalFirmware firmware_;
  BootProgram boot_;
  Personality personality_ = Personality::Firmware;
  Personality afterRestart_ = Personality::Firmware;
  Clock::time_point restartDoneAt_{};
  unsigned erasedAtFirmwareStart_ = 0;  // blocksErased when the firmware last started
};

}  // namespace kv9::sim
