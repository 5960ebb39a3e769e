#pragma once
// The simulated reader/writer module on a real pseudo-terminal, served by its
// own thread. Start() publishes COM<n>; Stop() (or destruction) ends the
// thread, removes the link and writes the dump when one was asked for.
//
// Threads: Start/Stop/Snapshot/WaitFor may be called from any one controlling
// thread; the module's logic runs only on its own thread, and Snapshot copies
// its state under a lock.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "eeprom_images.h"
#include "module_core.h"
#include "pty_port.h"
#include "sim_options.h"
#include "usb_adapter.h"
#include "wire/unique_fd.h"

namespace kv9::sim {

// A copy of what the module holds, for tests and the dump.
struct SimSnapshot {
  Personality personality = Personality::Firmware;
  std::string stateText;
  std::uint8_t bootStatus = 0;
  std::uint8_t bootError = 0;
  std::uint32_t listenRate = 0;
  // What the normal firmware reports (last start); none while it never ran.
  std::optional<std::string> romVersion;
  std::uint32_t flashFirst = 0;
  std::vector<std::uint8_t> flash;          // user area, flashFirst .. 0xFFFFFFFF
  std::vector<std::uint8_t> userBootFlash;
  std::uint16_t loaderCrc = 0;  // what the resident loader reports for this flash (no fault applied)
  EepromImages::Image eepromFactory{};
  EepromImages::Image eepromAllData{};
  std::map<std::string, unsigned> commandCounts;
  std::set<std::uint32_t> ratesSeen;
  unsigned noiseBytes = 0;
  unsigned blocksReceived = 0;
  unsigned blocksProgrammed = 0;
  unsigned blocksErased = 0;
  unsigned restarts = 0;
  unsigned bytesLost = 0;  // sent while the tool's port was closed or at another rate
  bool lockBitsEnabled = true;

  // Flash bytes at an absolute address (empty when outside the user area).
  std::vector<std::uint8_t> FlashAt(std::uint32_t address, std::size_t count) const;
};

class SimModule {
 public:
  explicit SimModule(SimOptions options);
  ~SimModule();
  SimModule(const SimModule&) = delete;
  SimModule& operator=(const SimModule&) = delete;

  // Where trace lines go (default: stderr). Set before Start().
  void SetTraceSink(std::function<void(const std::string&)> sink);

  // Opens the pty, publishes the link and starts serving. Throws on failure.
  void Start();
  // Stops serving, removes the link, writes the dump. Idempotent.
  void Stop();
  // Where Stop writes the dump (a bench keeps one folder per module).
  void SetDumpDir(const std::filesystem::path& dir) { options_.dumpDir = dir; }

  // A bench's fixture (sim_module_bench.cpp). The module is switched off
  // and on in place, the port staying open: it comes back after `off` in
  // its firmware, or in a fresh boot program when its flash was erased.
  void PowerCycle(std::chrono::milliseconds off);
  // The module behind the port is exchanged for a fresh one (its own
  // EEPROM, old firmware) while the port stays open, as on a fixture whose
  // adapter stays plugged in: nothing answers for `off`, then the new
  // module does. The old module's dump goes to `dumpDir` when given.
  void SwapBehindPort(unsigned serial, std::chrono::milliseconds off,
                      const std::optional<std::filesystem::path>& dumpDir);

  const SimOptions& Options() const { return options_; }
  std::string PortName() const;           // "COM7"
  std::filesystem::path LinkPath() const;  // KV9_PORT_DIR/COM7
  std::string SlavePath() const;          // /dev/pts/5

  SimSnapshot Snapshot() const;
  // CPU time the module's thread has used so far (for the pacing benchmark).
  std::chrono::nanoseconds ThreadCpuTime() const;
  // Waits until `done` holds for a snapshot, re-checking after every round of
  // the module's loop; false when `timeout` passes first.
  bool WaitFor(const std::function<bool(const SimSnapshot&)>& done, std::chrono::milliseconds timeout);

 private:
  struct InBatch {
    std::vector<std::uint8_t> bytes;
    std::uint32_t rate;  // the rate they were sent at
    Clock::time_point due;
  };
  struct OutByte {
    std::uint8_t byte;
    std::uint32_t rate;
  };

  void Run();
  void TraceInto(ModuleCore& core);
  void ReadLine(Clock::time_point now);
  void DeliverDueInput(Clock::time_point now);
  void CollectOutput(Clock::time_point now);
  void WriteDue(Clock::time_point now);
  void PassAdapter(Clock::time_point now);
  void FlushWriteBuffer();
  void Unplug();
  std::optional<Clock::time_point> NextWake(Clock::time_point now) const;
  SimSnapshot SnapshotLocked() const;

  SimOptions options_;
  std::function<void(const std::string&)> traceSink_;
  std::unique_ptr<ModuleCore> core_;
  std::unique_ptr<PtyMaster> master_;
  std::unique_ptr<PortLink> link_;
  std::string portName_;
  std::filesystem::path linkPath_;
  std::string slavePath_;
  UniqueFd wake_;  // eventfd that interrupts the loop for Stop()

  mutable std::mutex mutex_;  // guards core_ and the counters below
  std::condition_variable changed_;
  bool stopping_ = false;
  unsigned bytesLost_ = 0;
  std::thread thread_;
  std::thread::native_handle_type nativeThread_{};
  bool started_ = false;
  bool stopped_ = false;

  // Line state, touched only by the module's thread.
  bool slaveOpen_ = false;
  std::deque<InBatch> input_;
  Clock::time_point rxLineFree_{};
  std::deque<OutByte> outbox_;
  Clock::time_point txLineFree_{};
  Clock::time_point lastPacedWrite_{};
  std::vector<std::uint8_t> writeBuf_;  // accepted for the line, waiting for room in the pty
  UsbAdapterFifo adapter_;              // the tool's USB adapter, when one is simulated
};

}  // namespace kv9::sim
