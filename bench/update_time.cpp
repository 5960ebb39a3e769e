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
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string kv9flash = argc > 1 ? argv[1] : KV9FLASH_PATH;
  char tmpl[] = "/tmp/kv9-bench-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ::setenv("KV9_PORT_DIR", dir.c_str(), 1);

  kv9::sim::SimOptions options;
  options.pace = true;
  options.trace = true;
  options.portDir = dir;
  options.comNumber = 9;
  LineTotals totals;
  kv9::sim::SimModule module(options);
  module.SetTraceSink([&](const std::string& line) { totals.Add(line); });
  module.Start();

  // The default update: RX231, 256K, user-boot mode, 115200 bit/s, with the factory restore.
  std::vector<std::string> args{kv9flash, "--port", "COM9"};
  std::vector<char*> argv2;
  for (auto& a : args) argv2.push_back(a.data());
  argv2.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, kv9flash.c_str(), &actions, nullptr, argv2.data(), environ) != 0) {
    std::fprintf(stderr, "update_time: cannot run %s\n", kv9flash.c_str());
    return 2;
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  module.Stop();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);

  const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const double mandatedWaits = (1000 + 1000 + 200) / 1000.0;
  const double bound = totals.seconds + mandatedWaits;
  const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec / 1e6;
  std::printf("update exit status   %d\n", exitCode);
  std::printf("bytes on the wire    %llu\n", totals.bytes);
  std::printf("wall time            %.3f s\n", wall);
  std::printf("line-rate bound      %.3f s  (%.3f s on the line + %.3f s mandated waits)\n", bound,
              totals.seconds, mandatedWaits);
  std::printf("ratio                %.3f  (target <= 1.10)\n", wall / bound);
  std::printf("tool CPU time        %.3f s  (%.1f %% of the wall time)\n", cpu, 100.0 * cpu / wall);
  return exitCode == 0 ? 0 : 1;
}
