// A production bench in a box: kv9flash station serving paced simulated
// modules (kv9sim programs) for a fixed time, each module swapped for a
// fresh one as soon as the station shows its outcome, as a person at the
// bench would. Modules per hour with four slots against four times the rate
// of one slot: what the station's process per slot, its table and the
// shared machine cost (goal at least 0.95).
// Run: build/bench/station [seconds per run (180)] [slots (4)]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

pid_t Start(const std::vector<std::string>& args, int* out) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  *out = pipe[0];
  return pid;
}

struct Outcome {
  int ok = 0, ng = 0;
  double lastOk = 0;  // seconds from the start to the last OK
};

// Reads the station's event lines for `seconds`, swapping a slot's module
// whenever its outcome is shown.
Outcome Watch(int fd, std::map<std::string, pid_t>& sims, double seconds, Clock::time_point start) {
  Outcome o;
  std::string pending;
  while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    pending.append(buf, static_cast<std::size_t>(n));
    for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
      const std::string line = pending.substr(0, nl);
      const bool ok = line.find(" OK V") != std::string::npos;
      const bool ng = line.find(" NG ") != std::string::npos;
      if (!ok && !ng) continue;
      (ok ? o.ok : o.ng) += 1;
      if (ok) o.lastOk = std::chrono::duration<double>(Clock::now() - start).count();
      const auto sim = sims.find(line.substr(0, line.find(' ')));
      if (sim != sims.end()) ::kill(sim->second, SIGUSR1);
    }
  }
  return o;
}

// Modules per hour of a station with `slots` slots over `seconds`.
double StationRate(unsigned slots, double seconds) {
  char tmpl[] = "/tmp/kv9-bench-station-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ::setenv("KV9_PORT_DIR", (dir + "/ports").c_str(), 1);
  ::setenv("KV9_PORT_DIR_ONLY", "1", 1);
  ::setenv("XDG_DATA_HOME", dir.c_str(), 1);  // the EEPROM copies of the factory restore
  std::filesystem::create_directories(dir + "/ports");
  std::map<std::string, pid_t> sims;
  std::vector<int> simOut;
  std::string ports;
  for (unsigned k = 0; k < slots; ++k) {
    const std::string com = std::to_string(11 + k);
    int fd = -1;
    sims["COM" + com] = Start({KV9SIM_PATH, "--pace", "--com", com, "--away-ms", "500"}, &fd);
    simOut.push_back(fd);
    ports += (k ? ",COM" : "COM") + com;
  }
  for (int fd : simOut) {  // each prints its ready line once its port exists
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n') {
    }
  }
  int out = -1;
  const auto start = Clock::now();
  const pid_t station = Start({KV9FLASH_PATH, "station", "--port", ports}, &out);
  const Outcome o = Watch(out, sims, seconds, start);
  ::kill(station, SIGINT);
  ::waitpid(station, nullptr, 0);
  for (auto& [port, pid] : sims) {
    ::kill(pid, SIGINT);
    ::waitpid(pid, nullptr, 0);
  }
  for (int fd : simOut) ::close(fd);
  ::close(out);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::printf("%u slot(s): %d OK, %d NG in %.0f s, last OK at %.1f s\n", slots, o.ok, o.ng, seconds, o.lastOk);
  return o.ok > 0 && o.lastOk > 0 ? o.ok * 3600.0 / o.lastOk : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 180;
  const unsigned slots = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 4;
  ::signal(SIGPIPE, SIG_IGN);
  const double one = StationRate(1, seconds);
  const double several = StationRate(slots, seconds);
  std::printf("one slot             %.1f modules per hour\n", one);
  std::printf("%u slots              %.1f modules per hour\n", slots, several);
  if (one <= 0 || several <= 0) return 1;
  std::printf("ratio                %.3f  (against %u x one slot; goal >= 0.95)\n", several / (slots * one), slots);
  std::printf("cores online         %ld\n", ::sysconf(_SC_NPROCESSORS_ONLN));
  return 0;
}
