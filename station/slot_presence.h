#pragma once
// Whether a module is on a station's slot, and whether it is the module the
// slot last ran: a small machine fed with the slot's probe results, whose
// verdicts the slot only acts on. Pure: tests feed it probe sequences.
//
// - A module that answers is updated once. After its run it is "the same"
//   only while it answers with the identity the run left (the ROM version
//   the update wrote, its model name, its calibration words); one that
//   answers with another identity behind a port that stayed open is a new
//   module, updated once.
// - It is "gone" only after kGoneProbes unanswered probes (a missing port
//   counts as one) over at least kGoneMs: one lost probe is not a new module.
// - A module found answering in its boot program (switched on in boot mode,
//   as an NG module is after a power cycle in its fixture) is updated in
//   re-write mode, once; a module whose run failed gets at most one more run,
//   and only once it was switched off and on.
#include <cstdint>

#include "station/module_identity.h"

namespace kv9::station {

enum class ProbeKind {
  NoPort,       // the port is not in the port table (its adapter unplugged)
  Silent,       // nothing answered
  Firmware,     // the module's firmware answered, with its identity
  BootProgram,  // a boot program answered bit-rate matching: fresh from power-up
  BootSession,  // the boot program of a broken-off session answered at the boot rate
  Busy,         // another program holds the port: nothing learnt either way
};

struct ProbeResult {
  ProbeKind kind = ProbeKind::Silent;
  ModuleIdentity identity;  // for Firmware
  std::int32_t rate = 0;    // the rate it answered at
  std::uint64_t atMs = 0;   // when the probe ended (a monotonic clock)
};

enum class Verdict {
  None,     // nothing to do: probe again
  Update,   // update the module that answered
  ReWrite,  // update it in re-write mode: it runs its boot program
  Gone,     // the module is gone: wait for the next one
};

// Where a run left the module.
enum class RunEnd {
  Ok,                   // updated: it runs the image
  FailedInFirmware,     // failed, the module still (or again) runs a firmware
  FailedInBootProgram,  // failed, the module is left in its boot program
};

constexpr int kGoneProbes = 3;
constexpr std::uint64_t kGoneMs = 2000;

class SlotPresence {
 public:
  enum class Phase { Empty, Running, Present };

  Verdict Feed(const ProbeResult& probe);
  // The end of the run a verdict started; `left` is what the module tells
  // about itself now (after an OK its new ROM version).
  void RunEnded(RunEnd end, const ModuleIdentity& left, std::uint64_t atMs);

  Phase CurrentPhase() const { return phase_; }
  // A module is there and its firmware identity is known: probe it at its rate.
  bool ExpectsFirmware() const { return phase_ == Phase::Present && known_; }
  // The module is there, left in its boot program by its run.
  bool LeftInBootProgram() const { return phase_ == Phase::Present && !known_; }
  const ModuleIdentity& Expected() const { return expected_; }
  int Runs() const { return runs_; }

 private:
  Verdict Start(Verdict verdict, bool newModule);
  Verdict Unanswered(std::uint64_t atMs);
  Verdict FirmwareAnswered(const ModuleIdentity& seen);
  Verdict BootProgramAnswered();

  Phase phase_ = Phase::Empty;
  ModuleIdentity expected_;
  bool known_ = false;    // expected_ holds the identity the last run left
  int runs_ = 0;          // runs of the module now on the slot
  bool reWritten_ = false;
  bool lastFailed_ = false;
  int unanswered_ = 0;
  std::uint64_t firstUnansweredMs_ = 0;
};

}  // namespace kv9::station
