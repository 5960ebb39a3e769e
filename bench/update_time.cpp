// How long the full default update takes against a module whose line really
// runs at its bit rates (kv9sim with pacing), against the least the line and
// the sequence's own waits allow. Run: build/bench/update_time [path/to/kv9flash]
//
// The tool is kv9flash, run as its own process so its CPU time is its own;
// the module runs in this process. The line-rate bound adds up every byte
// the module traced in either direction, at the rate it crossed the line
// (10 bit times each), plus the waits the sequence mandates (the reset wait
// after the boot-mode request and after the restart, and 200 ms after the
// port is reopened at 19200 bit/s).
//
// Two more runs put a USB serial adapter at the tool's end (kv9sim
// --adapter-latency): one at the FTDI default of 16 ms, as a tool gets that
// does not ask for low-latency mode, and one whose driver takes the request
// (1 ms). Their bound is the line-rate bound plus one latency per reply the
// module sent. A pty cannot carry the tool's request to the simulator, so
// the second run is the simulator standing for a driver that took it.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_module.h"

extern char** environ;

namespace {

struct LineTotals {
  std::mutex mutex;
  double seconds = 0;  // bit times of every byte on the line
  unsigned long long bytes = 0;
  unsigned replies = 0;  // frames the module sent

  void Add(const std::string& line) {
    // "kv9sim: RX @115200 [262] ..." / "kv9sim: TX @..." / "kv9sim: NOISE @19200 [n] ..."
    const auto at = line.find(" @");
    const auto open = line.find(" [", at == std::string::npos ? 0 : at);
    if (at == std::string::npos || open == std::string::npos) return;
    const double rate = std::strtod(line.c_str() + at + 2, nullptr);
    const double count = std::strtod(line.c_str() + open + 2, nullptr);
    if (rate <= 0) return;
    std::lock_guard<std::mutex> lock(mutex);
    seconds += count * 10.0 / rate;
    bytes += static_cast<unsigned long long>(count);
    if (line.rfind("kv9sim: TX ", 0) == 0) ++replies;
  }
};

struct RunResult {
  int exitCode = -1;
  double wall = 0;
  double cpu = 0;
  double lineSeconds = 0;
  unsigned long long bytes = 0;
  unsigned replies = 0;
};

// One default update (RX231, 256K, user-boot mode, 115200 bit/s, with the
// factory restore) through kv9flash against a fresh paced module.
// `quiet` keeps kv9flash's summary off standard error.
RunResult RunUpdate(const std::string& kv9flash, std::chrono::milliseconds adapterLatency, bool lowLatency,
                    bool quiet) {
  char tmpl[] = "/tmp/kv9-bench-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ::setenv("KV9_PORT_DIR", dir.c_str(), 1);
  kv9::sim::SimOptions options;
  options.pace = true;
  options.trace = true;
  options.portDir = dir;
  options.comNumber = 9;
  options.adapterLatency = adapterLatency;
  options.lowLatencyOnOpen = lowLatency;
  LineTotals totals;
  kv9::sim::SimModule module(options);
  module.SetTraceSink([&](const std::string& line) { totals.Add(line); });
  module.Start();

  std::vector<std::string> args{kv9flash, "--port", "COM9"};
  std::vector<char*> argv2;
  for (auto& a : args) argv2.push_back(a.data());
  argv2.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  RunResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, kv9flash.c_str(), &actions, nullptr, argv2.data(), environ) != 0) {
    std::fprintf(stderr, "update_time: cannot run %s\n", kv9flash.c_str());
    posix_spawn_file_actions_destroy(&actions);
    return result;
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  module.Stop();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
               usage.ru_stime.tv_usec / 1e6;
  result.lineSeconds = totals.seconds;
  result.bytes = totals.bytes;
  result.replies = totals.replies;
  return result;
}

constexpr double kMandatedWaits = (1000 + 1000 + 200) / 1000.0;

void PrintAdapterRow(const char* what, int latencyMs, const RunResult& r, double plainWall) {
  const double bound = r.lineSeconds + kMandatedWaits + r.replies * latencyMs / 1000.0;
  std::printf("%-20s %.3f s  bound %.3f s (line-rate bound + %u replies x %d ms)  ratio %.3f  exit %d  "
              "%+.3f s against no adapter\n",
              what, r.wall, bound, r.replies, latencyMs, r.wall / bound, r.exitCode, r.wall - plainWall);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kv9flash = argc > 1 ? argv[1] : KV9FLASH_PATH;
  const RunResult plain = RunUpdate(kv9flash, std::chrono::milliseconds(0), false, false);
  const double bound = plain.lineSeconds + kMandatedWaits;
  std::printf("update exit status   %d\n", plain.exitCode);
  std::printf("bytes on the wire    %llu\n", plain.bytes);
  std::printf("wall time            %.3f s\n", plain.wall);
  std::printf("line-rate bound      %.3f s  (%.3f s on the line + %.3f s mandated waits)\n", bound,
              plain.lineSeconds, kMandatedWaits);
  std::printf("ratio                %.3f  (target <= 1.10)\n", plain.wall / bound);
  std::printf("tool CPU time        %.3f s  (%.1f %% of the wall time)\n", plain.cpu, 100.0 * plain.cpu / plain.wall);
  std::fflush(stdout);

  // Through a USB adapter: the FTDI default, then with low-latency mode.
  const RunResult slow = RunUpdate(kv9flash, std::chrono::milliseconds(16), false, true);
  const RunResult fast = RunUpdate(kv9flash, std::chrono::milliseconds(16), true, true);
  PrintAdapterRow("adapter 16 ms", 16, slow, plain.wall);
  PrintAdapterRow("adapter low latency", 1, fast, plain.wall);
  const bool ok = plain.exitCode == 0 && slow.exitCode == 0 && fast.exitCode == 0;
  return ok ? 0 : 1;
}
