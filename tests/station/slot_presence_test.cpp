// The presence and identity machine of a station slot, fed with probe
// sequences as a slot meets them on a bench.
#include "station/slot_presence.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv9::station {
namespace {

const ModuleIdentity kOld{"V1.00.00", "Q508", "5100.5107"};
const ModuleIdentity kNew{"V2.00.00", "Q508", "5100.5107"};
const ModuleIdentity kNext{"V1.00.00", "Q508", "5101.5107"};

ProbeResult Probe(ProbeKind kind, std::uint64_t atMs, const ModuleIdentity& identity = {}) {
  return {kind, identity, 19200, atMs};
}
ProbeResult Answer(const ModuleIdentity& identity, std::uint64_t atMs) {
  return Probe(ProbeKind::Firmware, atMs, identity);
}

// A machine whose module was found and updated with `end` at 10 s.
SlotPresence AfterRun(RunEnd end, const ModuleIdentity& left, ProbeKind found = ProbeKind::Firmware) {
  SlotPresence p;
  EXPECT_EQ(p.Feed(Probe(found, 0, kOld)), found == ProbeKind::Firmware ? Verdict::Update : Verdict::ReWrite);
  p.RunEnded(end, left, 10000);
  return p;
}

std::vector<Verdict> FeedAll(SlotPresence& p, const std::vector<ProbeResult>& probes) {
  std::vector<Verdict> verdicts;
  for (const ProbeResult& probe : probes) verdicts.push_back(p.Feed(probe));
  return verdicts;
}

using V = Verdict;

TEST(SlotPresence, AnEmptySlotStartsAnUpdateOrAReWriteOnlyForAModuleThatAnswers) {
  SlotPresence p;
  EXPECT_EQ(FeedAll(p, {Probe(ProbeKind::NoPort, 0), Probe(ProbeKind::Silent, 3000),
                        Probe(ProbeKind::BootSession, 6000), Probe(ProbeKind::Silent, 9000)}),
            (std::vector<V>{V::None, V::None, V::None, V::None}));
  EXPECT_EQ(p.Feed(Answer(kOld, 10000)), V::Update);
  EXPECT_EQ(p.CurrentPhase(), SlotPresence::Phase::Running);
  // While it runs, nothing the slot might still see starts another run.
  EXPECT_EQ(p.Feed(Answer(kNext, 10100)), V::None);
  SlotPresence boot;
  EXPECT_EQ(boot.Feed(Probe(ProbeKind::BootProgram, 0)), V::ReWrite);
}

TEST(SlotPresence, AfterAnOkTheSameModuleIsNeverUpdatedAgainAndAnotherIdentityIsANewModule) {
  SlotPresence p = AfterRun(RunEnd::Ok, kNew);
  EXPECT_TRUE(p.ExpectsFirmware());
  EXPECT_EQ(FeedAll(p, {Answer(kNew, 10500), Answer(kNew, 11000), Answer(kNew, 11500)}),
            (std::vector<V>{V::None, V::None, V::None}));
  // Swapped behind a port that stayed open, within a second: the old
  // version, another module's calibration, another model: each a new module.
  for (const ModuleIdentity& other : {kOld, ModuleIdentity{"V2.00.00", "Q508", "5101.5107"},
                                      ModuleIdentity{"V2.00.00", "Q509", "5100.5107"}}) {
    SlotPresence q = AfterRun(RunEnd::Ok, kNew);
    EXPECT_EQ(q.Feed(Answer(other, 10800)), V::Update) << IdentityText(other);
    EXPECT_EQ(q.Runs(), 1);
  }
}

TEST(SlotPresence, GoneOnlyAfterSeveralUnansweredProbesOverTwoSeconds) {
  // One lost probe, and even two, between answers: the same module stays.
  SlotPresence p = AfterRun(RunEnd::Ok, kNew);
  EXPECT_EQ(FeedAll(p, {Probe(ProbeKind::Silent, 12000), Answer(kNew, 12500), Probe(ProbeKind::Silent, 13000),
                        Probe(ProbeKind::Silent, 15100), Answer(kNew, 15600)}),
            (std::vector<V>{V::None, V::None, V::None, V::None, V::None}));
  // Three unanswered probes within two seconds are not yet "gone" (a port
  // that vanishes for a moment counts like silence); the fourth, past two
  // seconds, is.
  EXPECT_EQ(FeedAll(p, {Probe(ProbeKind::NoPort, 20000), Probe(ProbeKind::NoPort, 20200),
                        Probe(ProbeKind::Silent, 21000), Probe(ProbeKind::NoPort, 22000)}),
            (std::vector<V>{V::None, V::None, V::None, V::Gone}));
  EXPECT_EQ(p.CurrentPhase(), SlotPresence::Phase::Empty);
  // The next module, even one answering as the last did, is updated.
  EXPECT_EQ(p.Feed(Answer(kNew, 23000)), V::Update);
  // While another program holds the port, nothing is learnt either way.
  SlotPresence busy = AfterRun(RunEnd::Ok, kNew);
  EXPECT_EQ(FeedAll(busy, {Probe(ProbeKind::Silent, 11000), Probe(ProbeKind::Busy, 12000),
                           Probe(ProbeKind::Busy, 14000), Probe(ProbeKind::Busy, 16000), Answer(kNew, 16500)}),
            (std::vector<V>{V::None, V::None, V::None, V::None, V::None}));
  // Two slow unanswered probes over more than two seconds are still too few.
  SlotPresence q = AfterRun(RunEnd::Ok, kNew);
  EXPECT_EQ(FeedAll(q, {Probe(ProbeKind::Silent, 12000), Probe(ProbeKind::Silent, 19000), Answer(kNew, 19500)}),
            (std::vector<V>{V::None, V::None, V::None}));
}

TEST(SlotPresence, AnNgModuleLeftInItsBootProgramIsReWrittenOnceAfterItWasSwitchedOffAndOn) {
  SlotPresence p = AfterRun(RunEnd::FailedInBootProgram, {});
  EXPECT_TRUE(p.LeftInBootProgram());
  // Its broken-off session answers at the boot rate: still there, no run.
  EXPECT_EQ(FeedAll(p, {Probe(ProbeKind::BootSession, 10500), Probe(ProbeKind::Silent, 11000),
                        Probe(ProbeKind::BootSession, 11500)}),
            (std::vector<V>{V::None, V::None, V::None}));
  // Switched off and on, its boot program answers bit-rate matching.
  EXPECT_EQ(p.Feed(Probe(ProbeKind::BootProgram, 12000)), V::ReWrite);
  EXPECT_EQ(p.Runs(), 2);
  // The re-write failed too: switched off and on again, it is left alone.
  p.RunEnded(RunEnd::FailedInBootProgram, {}, 20000);
  EXPECT_EQ(FeedAll(p, {Probe(ProbeKind::BootProgram, 21000), Probe(ProbeKind::BootProgram, 22000)}),
            (std::vector<V>{V::None, V::None}));
  // A module first found in its boot program is re-written once, not again.
  SlotPresence q = AfterRun(RunEnd::FailedInBootProgram, {}, ProbeKind::BootProgram);
  EXPECT_EQ(q.Feed(Probe(ProbeKind::BootProgram, 11000)), V::None);
}

TEST(SlotPresence, AFailedRunGetsOneMoreRunOnlyOnceTheModuleWasSwitchedOffAndOn) {
  // Failed before its flash was touched, it still answers as before: it
  // stays NG and is not retried, however long it stays.
  SlotPresence p = AfterRun(RunEnd::FailedInFirmware, kOld);
  EXPECT_EQ(FeedAll(p, {Answer(kOld, 10500), Answer(kOld, 11000), Answer(kOld, 30000)}),
            (std::vector<V>{V::None, V::None, V::None}));
  // Left in its boot program, switched off and on, its old firmware
  // answers (the failed run never reached the flash): one more run.
  SlotPresence q = AfterRun(RunEnd::FailedInBootProgram, {});
  EXPECT_EQ(q.Feed(Answer(kOld, 11000)), V::Update);
  q.RunEnded(RunEnd::FailedInBootProgram, {}, 20000);
  EXPECT_EQ(FeedAll(q, {Answer(kOld, 21000), Answer(kOld, 21500)}), (std::vector<V>{V::None, V::None}));
  // After a re-write the identity it then tells is learnt from its answers.
  SlotPresence r = AfterRun(RunEnd::Ok, {"V2.00.00", "", ""}, ProbeKind::BootProgram);
  EXPECT_EQ(FeedAll(r, {Answer(kNew, 10500), Answer(kNew, 11000)}), (std::vector<V>{V::None, V::None}));
  EXPECT_EQ(r.Feed(Answer(ModuleIdentity{"V2.00.00", "Q508", "5101.5107"}, 11500)), V::Update);
}

}  // namespace
}  // namespace kv9::station
