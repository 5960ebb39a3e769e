#pragma once
// The tool's controller against the simulated module over a real pty: one
// module per test in a private port folder, a recording front end, and
// helpers to read the frames as the module received them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/flash_wr_rx_cont.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/recorders.h"

namespace kv9::test {

using Bytes = std::vector<std::uint8_t>;

// Keeps every line: a programming run writes more trace lines than the
// 1000 a real pane holds before it is cleared, and the tests read them all.
class KeepAllLogPane : public RecordingLogPane {
 public:
  int LineCount() const override { return 0; }
};

class BootWire : public ::testing::Test {
 protected:
  BootWire();
  ~BootWire() override;

  // Options for a module that powers up in boot mode.
  sim::SimOptions BootOptions(sim::Cpu cpu) const;
  // Starts the module and a controller with `settings` (port number set to
  // the module's port), debug and TX log on, port open at 19200 bit/s.
  void Start(const sim::SimOptions& options, TProgSettings settings = {});
  // BootHandshake, then IdCodeStep: the boot program waits for commands.
  void ToCommandWait(int pieceA = 1);

  // Every frame the module received that starts with `prefix`, in order, as
  // its trace shows it: frames longer than 32 bytes end after their first 32.
  std::vector<Bytes> SentFrames(const Bytes& prefix) const;
  bool Logged(const std::string& line) const;
  int LogIndex(const std::string& line) const;  // -1 when absent

  PortFolder folder_;
  std::unique_ptr<TracedSim> traced_;
  sim::SimModule* sim_ = nullptr;  // the module inside traced_
  RecordingUi ui_;
  KeepAllLogPane pane_;
  std::unique_ptr<TFlashWrRXCont> cont_;
};

}  // namespace kv9::test
