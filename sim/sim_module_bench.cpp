// What a production bench's fixture does to the module behind a port that
// stays open: switch it off and on, or exchange it for the next module.
#include <unistd.h>

#include "dump_writer.h"
#include "sim_module.h"

namespace kv9::sim {

void SimModule::PowerCycle(std::chrono::milliseconds off) {
  {
    std::lock_guard lock(mutex_);
    if (!core_) return;
    core_->PowerCycle(Clock::now(), off);
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.Get(), &one, sizeof one);
}

void SimModule::SwapBehindPort(unsigned serial, std::chrono::milliseconds off,
                               const std::optional<std::filesystem::path>& dumpDir) {
  SimSnapshot old;
  {
    std::lock_guard lock(mutex_);
    if (!core_) return;
    old = SnapshotLocked();
    // The context keeps a reference to the options: the new module's
    // serial is in place before it is made.
    options_.serial = serial;
    auto fresh = std::make_unique<ModuleCore>(options_);
    TraceInto(*fresh);
    // Until it is seated and powered, nothing answers.
    fresh->PowerCycle(Clock::now(), off);
    core_ = std::move(fresh);
    bytesLost_ = 0;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.Get(), &one, sizeof one);
  if (dumpDir) WriteDump(*dumpDir, old);
}

}  // namespace kv9::sim
