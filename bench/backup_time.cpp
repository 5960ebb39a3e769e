// How long the firmware backup before the erase takes against a module whose
// line really runs at its bit rates (kv9sim with pacing), against the least
// the line allows: every memory-read reply's bytes at the boot rate, 10 bit
// times each (the stage has no mandated wait). The read commands and the
// loader's CRC exchange are shown beside it; they are what the ratio pays
// for beyond the replies.
// Run: build/bench/backup_time [path/to/kv9flash]
//
// kv9flash runs the default update with --backup into a temporary folder;
// the stage lasts from its "ID照合     : OK" line to its "ROM保存    : OK"
// line, each timed as it arrives on the pipe (kv9flash flushes every line).
#include <spawn.h>
#include <stdlib.h>
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

using Clock = std::chrono::steady_clock;

// Bytes of the backup stage on the line: from the first memory read to the
// erase's blank check.
struct StageTotals {
  std::mutex mutex;
  bool inStage = false;
  double replySeconds = 0, otherSeconds = 0;
  unsigned long long replyBytes = 0, reads = 0;

  void Add(const std::string& line) {
    // "kv9sim: RX @115200 [12] FF 09 01 ..." / "kv9sim: TX @115200 [1030] 52 00 00 04 00 ..."
    const auto at = line.find(" @");
    const auto open = line.find(" [", at == std::string::npos ? 0 : at);
    const auto bytes = line.find("] ", open == std::string::npos ? 0 : open);
    if (at == std::string::npos || open == std::string::npos || bytes == std::string::npos) return;
    const bool rx = line.find("kv9sim: RX") == 0;
    const std::string frame = line.substr(bytes + 2);
    std::lock_guard<std::mutex> lock(mutex);
    if (rx && frame.rfind("FF 09 ", 0) == 0) inStage = true;
    if (rx && frame.rfind("4D", 0) == 0) inStage = false;
    if (!inStage) return;
    const double rate = std::strtod(line.c_str() + at + 2, nullptr);
    const double count = std::strtod(line.c_str() + open + 2, nullptr);
    if (rate <= 0) return;
    const double seconds = count * 10.0 / rate;
    if (!rx && frame.rfind("52 ", 0) == 0) {
      replySeconds += seconds;
      replyBytes += static_cast<unsigned long long>(count);
      ++reads;
    } else {
      otherSeconds += seconds;
    }
  }
};

// Runs kv9flash, timing the stdout lines that open and close the stage.
int RunTimed(const std::string& kv9flash, const std::vector<std::string>& args, double& stageSeconds) {
  int out[2];
  if (::pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> all{kv9flash};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, kv9flash.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) return -1;
  std::FILE* lines = ::fdopen(out[0], "r");
  char buf[4096];
  Clock::time_point begin{}, end{};
  while (std::fgets(buf, sizeof buf, lines)) {
    const std::string line = buf;
    if (line.rfind("ID照合     : OK", 0) == 0) begin = Clock::now();
    if (line.rfind("ROM保存    : OK", 0) == 0) end = Clock::now();
  }
  std::fclose(lines);
  int status = 0;
  ::waitpid(pid, &status, 0);
  stageSeconds = std::chrono::duration<double>(end - begin).count();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kv9flash = argc > 1 ? argv[1] : KV9FLASH_PATH;
  char tmpl[] = "/tmp/kv9-bench-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ::setenv("KV9_PORT_DIR", dir.c_str(), 1);
  const std::string backups = dir + "/backups/";
  std::filesystem::create_directories(backups);

  kv9::sim::SimOptions options;
  options.pace = true;
  options.trace = true;
  options.portDir = dir;
  options.comNumber = 9;
  StageTotals totals;
  kv9::sim::SimModule module(options);
  module.SetTraceSink([&](const std::string& line) { totals.Add(line); });
  module.Start();
  double stage = 0;
  const int exitCode = RunTimed(kv9flash, {"--port", "COM9", "--no-init", "--backup", backups}, stage);
  module.Stop();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);

  const double bound = totals.replySeconds;
  std::printf("update exit status   %d\n", exitCode);
  std::printf("memory reads         %llu replies, %llu bytes\n", totals.reads, totals.replyBytes);
  std::printf("backup stage         %.3f s\n", stage);
  std::printf("line-rate bound      %.3f s  (read replies at the boot rate)\n", bound);
  std::printf("other line time      %.3f s  (read commands, loader CRC)\n", totals.otherSeconds);
  std::printf("ratio                %.3f  (target <= 1.10)\n", bound > 0 ? stage / bound : 0.0);
  return exitCode == 0 && stage > 0 ? 0 : 1;
}
