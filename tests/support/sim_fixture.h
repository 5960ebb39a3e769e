#pragma once
// The simulated module in-process, published in a port folder, with every
// frame it receives recorded.
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/sim_module.h"
#include "tests/support/port_folder.h"

namespace kv9::test {

// A module's options as kv9sim's command line spells them
// ({"--error-reply", "boot:50/5=53"}): one way to write a fault, for the
// tests as for a bench started by hand.
inline sim::SimOptions SimOptionsFrom(const std::vector<std::string>& args) {
  sim::SimOptions options;
  std::string error;
  if (sim::ParseCommandLine(args, "unused", &options, &error) != sim::ParseOutcome::Run)
    throw std::invalid_argument("kv9sim options: " + error);
  options.portDir.clear();
  return options;
}

class TracedSim {
 public:
  TracedSim(const PortFolder& folder, unsigned com, sim::SimOptions options = {}) {
    options.portDir = folder.Path();
    options.comNumber = com;
    options.trace = true;
    sim_ = std::make_unique<sim::SimModule>(options);
    sim_->SetTraceSink([this](const std::string& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      trace_.push_back(line);
    });
    sim_->Start();
  }
  sim::SimModule& operator*() { return *sim_; }
  sim::SimModule* operator->() { return sim_.get(); }

  // The hex text of every frame the module took in ("02 00 4F ..."), in order.
  std::vector<std::string> Received() {
    std::vector<std::string> frames;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& line : trace_) {
      if (line.rfind("kv9sim: RX @", 0) != 0) continue;
      frames.push_back(line.substr(line.find("] ") + 2));
    }
    return frames;
  }
  std::vector<std::string> Trace() {
    std::lock_guard<std::mutex> lock(mutex_);
    return trace_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> trace_;
  std::unique_ptr<sim::SimModule> sim_;
};

}  // namespace kv9::test
