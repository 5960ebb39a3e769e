#include "station/slot_presence.h"

namespace kv9::station {
namespace {

// The fields a run could not learn are taken from the module's first answer.
void Adopt(ModuleIdentity& known, const ModuleIdentity& seen) {
  if (known.romVersion.empty()) known.romVersion = seen.romVersion;
  if (known.modelName.empty()) known.modelName = seen.modelName;
  if (known.calibration.empty()) known.calibration = seen.calibration;
}

}  // namespace

Verdict SlotPresence::Feed(const ProbeResult& probe) {
  // While another program holds the port the module may well be there.
  if (phase_ == Phase::Running || probe.kind == ProbeKind::Busy) return Verdict::None;
  if (probe.kind == ProbeKind::NoPort || probe.kind == ProbeKind::Silent) {
    return phase_ == Phase::Present ? Unanswered(probe.atMs) : Verdict::None;
  }
  unanswered_ = 0;
  if (phase_ == Phase::Empty) {
    if (probe.kind == ProbeKind::Firmware) return Start(Verdict::Update, true);
    if (probe.kind == ProbeKind::BootProgram) return Start(Verdict::ReWrite, true);
    return Verdict::None;  // a session's boot rate is known only after a run
  }
  switch (probe.kind) {
    case ProbeKind::Firmware: return FirmwareAnswered(probe.identity);
    case ProbeKind::BootProgram: return BootProgramAnswered();
    default: return Verdict::None;  // the broken-off session is still there
  }
}

void SlotPresence::RunEnded(RunEnd end, const ModuleIdentity& left, std::uint64_t atMs) {
  phase_ = Phase::Present;
  lastFailed_ = end != RunEnd::Ok;
  known_ = end != RunEnd::FailedInBootProgram;
  expected_ = known_ ? left : ModuleIdentity{};
  unanswered_ = 0;
  firstUnansweredMs_ = atMs;
}

Verdict SlotPresence::Start(Verdict verdict, bool newModule) {
  if (newModule) {
    runs_ = 0;
    reWritten_ = false;
  }
  ++runs_;
  if (verdict == Verdict::ReWrite) reWritten_ = true;
  phase_ = Phase::Running;
  return verdict;
}

Verdict SlotPresence::Unanswered(std::uint64_t atMs) {
  if (unanswered_++ == 0) firstUnansweredMs_ = atMs;
  if (unanswered_ < kGoneProbes || atMs - firstUnansweredMs_ < kGoneMs) return Verdict::None;
  phase_ = Phase::Empty;
  known_ = false;
  expected_ = {};
  runs_ = 0;
  unanswered_ = 0;
  return Verdict::Gone;
}

Verdict SlotPresence::FirmwareAnswered(const ModuleIdentity& seen) {
  if (known_) {
    if (!SameModule(expected_, seen)) return Start(Verdict::Update, true);
    Adopt(expected_, seen);
    return Verdict::None;
  }
  // Left in its boot program, it runs a firmware again: it was switched off
  // and on, and the failed run had not touched its flash. One more run.
  if (lastFailed_ && runs_ < 2) return Start(Verdict::Update, false);
  known_ = true;
  expected_ = seen;
  return Verdict::None;
}

Verdict SlotPresence::BootProgramAnswered() {
  // Where a firmware answered, a boot program fresh from power-up is
  // another module (or this one broke down): a new module.
  if (known_) return Start(Verdict::ReWrite, true);
  // The module its run left in its boot program, switched off and on.
  if (lastFailed_ && runs_ < 2 && !reWritten_) return Start(Verdict::ReWrite, false);
  return Verdict::None;
}

}  // namespace kv9::station
