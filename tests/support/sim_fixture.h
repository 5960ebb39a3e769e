#pragma once
// The simulated module in-process, published in a folder of its own that
// KV9_PORT_DIR points at, with every frame it receives recorded.
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/port_table.h"
#include "sim/sim_module.h"

namespace kv9::test {

class PortFolder {
 public:
  PortFolder() {
    char tmpl[] = "/tmp/kv9-link-XXXXXX";
    path_ = ::mkdtemp(tmpl);
    if (const char* old = ::getenv("KV9_PORT_DIR")) old_ = old, hadOld_ = true;
    ::setenv("KV9_PORT_DIR", path_.c_str(), 1);
    // Only the ports this test publishes: none of the machine's own.
    PortTableSources none;
    none.devDir = path_ + "/no-dev";
    none.sysClassTty = path_ + "/no-sys";
    SetPortTableSourcesForTest(&none);
  }
  ~PortFolder() {
    SetPortTableSourcesForTest(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    if (hadOld_) ::setenv("KV9_PORT_DIR", old_.c_str(), 1);
    else ::unsetenv("KV9_PORT_DIR");
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_, old_;
  bool hadOld_ = false;
};

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
