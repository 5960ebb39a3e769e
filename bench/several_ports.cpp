// How much slower one kv9flash command updating 8 modules at once is than
// the same command updating one: every port gets its own process, so the
// ratio shows what the parent (spawning, forwarding prefixed lines, the
// table) and the shared machine add. The modules are paced simulators in
// this process, one thread each.
// Run: build/bench/several_ports [ports] [path/to/kv9flash]
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_module.h"

extern char** environ;

namespace {

// Runs one kv9flash command against `count` fresh paced modules; returns its
// wall time in seconds, or a negative number when it failed.
double TimedRun(const std::string& kv9flash, unsigned count) {
  char tmpl[] = "/tmp/kv9-bench-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ::setenv("KV9_PORT_DIR", dir.c_str(), 1);
  std::vector<std::unique_ptr<kv9::sim::SimModule>> modules;
  std::string ports;
  for (unsigned k = 0; k < count; ++k) {
    kv9::sim::SimOptions options;
    options.pace = true;
    options.portDir = dir;
    options.comNumber = 11 + k;
    modules.push_back(std::make_unique<kv9::sim::SimModule>(options));
    modules.back()->Start();
    ports += (k ? "," : "") + std::string("COM") + std::to_string(11 + k);
  }
  std::vector<std::string> args{kv9flash, "--port", ports, "--quiet"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  int status = -1;
  if (posix_spawn(&pid, kv9flash.c_str(), &actions, nullptr, argv.data(), environ) == 0)
    ::waitpid(pid, &status, 0);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  bool updated = true;
  for (auto& m : modules) {
    updated = updated && m->Snapshot().romVersion == "V2.00.00 ";
    m->Stop();
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && updated;
  return ok ? wall : -wall;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned count = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 8;
  const std::string kv9flash = argc > 2 ? argv[2] : KV9FLASH_PATH;
  const double one = TimedRun(kv9flash, 1);
  const double several = TimedRun(kv9flash, count);
  std::printf("one port             %.3f s%s\n", one < 0 ? -one : one, one < 0 ? "  (FAILED)" : "");
  std::printf("%u ports at once      %.3f s%s\n", count, several < 0 ? -several : several,
              several < 0 ? "  (FAILED)" : "");
  if (one <= 0 || several <= 0) return 1;
  std::printf("ratio                %.3f  (target <= 1.10)\n", several / one);
  std::printf("cores online         %ld\n", ::sysconf(_SC_NPROCESSORS_ONLN));
  return 0;
}
