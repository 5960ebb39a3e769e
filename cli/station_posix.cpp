// The station process on POSIX: one slot process per port, their events
// read from a pipe each, the table or the event lines, the tally and the
// report file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "cli/host_os.h"
#include "cli/run_report.h"
#include "cli/several_ports.h"
#include "cli/signals.h"
#include "cli/station.h"
#include "cli/station_screen.h"

extern char** environ;

namespace kv9::cli {
namespace {

constexpr int kEventFd = 3;

struct Slot {
  pid_t pid = -1;
  int fds[2] = {-1, -1};  // stderr, events
  std::string pending[2];
  SlotView view;
  bool inRun = false;  // a module was found and its run has not ended
};

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> p;
  for (auto& t : texts) p.push_back(t.data());
  p.push_back(nullptr);
  return p;
}

// The slot's process: stdout (the update's log lines, which its record
// keeps) goes nowhere, stderr and the events come to this process.
bool SpawnSlot(Slot& slot, std::vector<std::string> args) {
  int pipes[2][2];
  for (auto& p : pipes) {
    if (::pipe2(p, O_CLOEXEC) != 0) return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipes[0][1], 2);
  posix_spawn_file_actions_adddup2(&actions, pipes[1][1], kEventFd);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, kReportFdVariable, std::strlen(kReportFdVariable)) != 0) env.emplace_back(*e);
  }
  env.push_back(std::string(kReportFdVariable) + "=" + std::to_string(kEventFd));
  args.insert(args.begin(), "/proc/self/exe");
  const int spawned =
      posix_spawn(&slot.pid, "/proc/self/exe", &actions, nullptr, Pointers(args).data(), Pointers(env).data());
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; i < 2; ++i) {
    ::close(pipes[i][1]);
    slot.fds[i] = pipes[i][0];
  }
  if (spawned != 0) slot.pid = -1;
  return spawned == 0;
}

// Takes the complete lines of one stream of a slot; `all` also the rest.
void TakeLines(Station& station, Slot& slot, int which, bool all) {
  std::string& buf = slot.pending[which];
  std::size_t from = 0;
  for (std::size_t nl; (nl = buf.find('\n', from)) != std::string::npos; from = nl + 1) {
    const std::string line = buf.substr(from, nl - from);
    if (which == 0) station.Message(slot.view, line);
    else station.Event(slot.view, slot.inRun, ParseEventLine(line));
  }
  buf.erase(0, from);
  if (all && !buf.empty()) {
    if (which == 0) station.Message(slot.view, buf);
    buf.clear();
  }
}

// Reads what the slots send, passes a stop on to them, until every slot
// has closed its streams.
void ServeSlots(Station& station, std::vector<Slot>& slots) {
  int forwarded = 0;
  for (;;) {
    if (StopSignal() != forwarded) {
      forwarded = StopSignal();
      for (Slot& s : slots) {
        if (s.pid > 0) ::kill(s.pid, forwarded);
      }
    }
    std::vector<pollfd> polls;
    std::vector<std::pair<Slot*, int>> owners;
    for (Slot& s : slots) {
      for (int i = 0; i < 2; ++i) {
        if (s.fds[i] < 0) continue;
        polls.push_back({s.fds[i], POLLIN, 0});
        owners.emplace_back(&s, i);
      }
    }
    if (polls.empty()) return;
    if (::poll(polls.data(), polls.size(), 200) <= 0) {
      station.Redraw(false);
      continue;
    }
    for (std::size_t p = 0; p < polls.size(); ++p) {
      if (!polls[p].revents) continue;
      Slot& s = *owners[p].first;
      const int i = owners[p].second;
      char buf[4096];
      const ssize_t n = ::read(s.fds[i], buf, sizeof buf);
      if (n > 0) {
        s.pending[i].append(buf, static_cast<std::size_t>(n));
        TakeLines(station, s, i, false);
      } else if (n == 0 || errno != EINTR) {
        ::close(s.fds[i]);
        s.fds[i] = -1;
        TakeLines(station, s, i, true);
      }
    }
    station.Redraw(false);
  }
}

}  // namespace

bool IsStationSlot() { return std::getenv(kReportFdVariable) != nullptr; }

void SendStationEvent(const SlotEvent& event) {
  const char* fd = std::getenv(kReportFdVariable);
  if (!fd) return;
  const std::string line = EventLine(event) + "\n";
  [[maybe_unused]] const ssize_t n = ::write(std::atoi(fd), line.data(), line.size());
}

int RunStation(const CliOptions& options, const std::vector<std::string>& args) {
  if (!StationImageAccepted(options)) return 2;
  // The slots stop the modules; this process only waits for them.
  ArmStop();
  Station station(options, !options.quiet && StderrIsTerminal());
  if (!station.OpenReport()) return 2;
  // Hook: the broker, before any slot starts.
  if (!station.OpenBroker()) return 2;
  std::vector<Slot> slots(options.ports.size());
  const std::vector<std::string> common = CommonChildArguments(args);
  for (std::size_t k = 0; k < slots.size(); ++k) {
    slots[k].view.port = options.ports[k];
    std::vector<std::string> slotArgs = common;
    slotArgs.push_back("--port");
    slotArgs.push_back(options.ports[k]);
    if (!SpawnSlot(slots[k], slotArgs)) {
      std::fprintf(stderr, "%s: error: cannot start a slot: %s\n", options.ports[k].c_str(), std::strerror(errno));
      station.SlotLost();
    }
  }
  for (Slot& s : slots) station.AddSlot(&s.view);
  station.Redraw(true);
  ServeSlots(station, slots);
  for (Slot& s : slots) {
    int status = 0;
    while (s.pid > 0 && ::waitpid(s.pid, &status, 0) < 0 && errno == EINTR) {
    }
    // A slot that ended in the middle of a run never told how it went.
    if (s.inRun) station.SlotLost();
  }
  return station.Finish();
}

}  // namespace kv9::cli
