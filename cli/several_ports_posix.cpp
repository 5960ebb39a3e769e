#include "cli/several_ports.h"

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

#include "cli/run_report.h"
#include "cli/signals.h"

extern char** environ;

namespace kv9::cli {
namespace {

constexpr int kReportFd = 3;

struct Child {
  std::string port;
  pid_t pid = -1;
  int fds[3] = {-1, -1, -1};  // stdout, stderr, report
  std::string pending[3];
  bool exited = false;
  int status = 0;
  std::chrono::steady_clock::time_point start, end;
};

// Writes the complete lines of stdout (0) or stderr (1) with the port before
// each; `all` also what is left without an end of line.
void Forward(Child& c, int which, bool all) {
  std::string& buf = c.pending[which];
  std::size_t from = 0;
  for (;;) {
    const std::size_t nl = buf.find('\n', from);
    if (nl == std::string::npos) break;
    std::FILE* to = which == 0 ? stdout : stderr;
    std::fprintf(to, "%s: %.*s\n", c.port.c_str(), static_cast<int>(nl - from), buf.data() + from);
    std::fflush(to);
    from = nl + 1;
  }
  buf.erase(0, from);
  if (all && !buf.empty()) {
    std::FILE* to = which == 0 ? stdout : stderr;
    std::fprintf(to, "%s: %s\n", c.port.c_str(), buf.c_str());
    std::fflush(to);
    buf.clear();
  }
}

bool Spawn(Child& c, const std::vector<std::string>& args, const std::string& self) {
  int pipes[3][2];
  for (auto& p : pipes) {
    if (::pipe2(p, O_CLOEXEC) != 0) return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipes[0][1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipes[1][1], 2);
  posix_spawn_file_actions_adddup2(&actions, pipes[2][1], kReportFd);
  std::vector<char*> argv{const_cast<char*>(self.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, kReportFdVariable, std::strlen(kReportFdVariable)) != 0)
      env.emplace_back(*e);
  }
  env.push_back(std::string(kReportFdVariable) + "=" + std::to_string(kReportFd));
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  c.start = std::chrono::steady_clock::now();
  const int spawned =
      posix_spawn(&c.pid, self.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; i < 3; ++i) {
    ::close(pipes[i][1]);
    c.fds[i] = pipes[i][0];
  }
  return spawned == 0;
}

// Passes every child's lines on, and a stop signal to every child, until
// each has closed its three streams.
void ForwardUntilAllEnded(std::vector<Child>& children) {
  int forwarded = 0;
  for (;;) {
    if (StopSignal() != forwarded) {
      forwarded = StopSignal();
      for (Child& c : children) {
        if (c.pid > 0 && !c.exited) ::kill(c.pid, forwarded);
      }
    }
    std::vector<pollfd> polls;
    std::vector<std::pair<Child*, int>> owners;
    for (Child& c : children) {
      for (int i = 0; i < 3; ++i) {
        if (c.fds[i] < 0) continue;
        polls.push_back({c.fds[i], POLLIN, 0});
        owners.emplace_back(&c, i);
      }
    }
    if (polls.empty()) break;
    if (::poll(polls.data(), polls.size(), 200) <= 0) continue;
    for (std::size_t p = 0; p < polls.size(); ++p) {
      if (!polls[p].revents) continue;
      Child& c = *owners[p].first;
      const int i = owners[p].second;
      char buf[4096];
      const ssize_t n = ::read(c.fds[i], buf, sizeof buf);
      if (n > 0) {
        c.pending[i].append(buf, static_cast<std::size_t>(n));
        if (i < 2) Forward(c, i, false);
      } else if (n == 0 || errno != EINTR) {
        ::close(c.fds[i]);
        c.fds[i] = -1;
        if (i < 2) Forward(c, i, true);
        // The child's time ends when it closed its last stream (it is exiting).
        if (c.fds[0] < 0 && c.fds[1] < 0 && c.fds[2] < 0) c.end = std::chrono::steady_clock::now();
      }
    }
  }
}

}  // namespace

int RunSeveralPorts(const CliOptions& options, const std::vector<std::string>& args) {
  const std::string self = "/proc/self/exe";
  // The children stop the modules; this process only waits for them.
  ArmStop();
  const std::vector<std::string> common = CommonChildArguments(args);
  std::vector<Child> children(options.ports.size());
  for (std::size_t k = 0; k < children.size(); ++k) {
    Child& c = children[k];
    c.port = options.ports[k];
    std::vector<std::string> childArgs = common;
    childArgs.push_back("--port");
    childArgs.push_back(c.port);
    if (!Spawn(c, childArgs, self)) {
      std::fprintf(stderr, "%s: error: cannot start %s: %s\n", c.port.c_str(), self.c_str(),
                   std::strerror(errno));
      c.exited = true;
      c.end = std::chrono::steady_clock::now();
    }
  }

  ForwardUntilAllEnded(children);

  std::vector<PortRow> rows;
  for (Child& c : children) {
    if (c.pid > 0) {
      while (::waitpid(c.pid, &c.status, 0) < 0 && errno == EINTR) {
      }
    }
    // A child killed by a signal counts as failed (1).
    const int exitStatus = c.pid > 0 && WIFEXITED(c.status) ? WEXITSTATUS(c.status) : 1;
    rows.push_back(FinishedChildRow(c.pending[2], c.port, exitStatus,
                                    std::chrono::duration<double>(c.end - c.start).count()));
  }
  return FinishSeveralPorts(rows, options.quiet, StopSignal(), options.reportFile);
}

void ReportRowToParent(const PortRow& row) {
  const char* fd = std::getenv(kReportFdVariable);
  if (!fd) return;
  const std::string line = RowReportLine(row) + "\n" + row.json + "\n";
  [[maybe_unused]] const ssize_t n = ::write(std::atoi(fd), line.data(), line.size());
}

}  // namespace kv9::cli
