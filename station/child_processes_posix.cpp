#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "station/child_processes.h"

extern char** environ;

namespace kv9::station {
namespace {

constexpr int kReportFd = 3;
constexpr char kSelf[] = "/proc/self/exe";

struct Streams {
  int fds[3] = {-1, -1, -1};
  std::string pending[3];
};

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> p;
  for (auto& t : texts) p.push_back(t.data());
  p.push_back(nullptr);
  return p;
}

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, kReportFdVariable, std::strlen(kReportFdVariable)) != 0) env.emplace_back(*e);
  }
  env.push_back(std::string(kReportFdVariable) + "=" + std::to_string(kReportFd));
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

// 0 when started, else the error.
int Spawn(SupervisedChild& c, Streams& s) {
  int pipes[3][2];
  for (int i = 0; i < 3; ++i) {
    if (::pipe2(pipes[i], O_CLOEXEC) != 0) return errno;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (c.keepStdout) {
    posix_spawn_file_actions_adddup2(&actions, pipes[0][1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, pipes[1][1], 2);
  posix_spawn_file_actions_adddup2(&actions, pipes[2][1], kReportFd);
  std::vector<std::string> argv = c.args;
  argv.insert(argv.begin(), c.title.empty() ? std::string(kSelf) : c.title);
  std::vector<std::string> env = ChildEnvironment(c.env);
  pid_t pid = -1;
  c.start = std::chrono::steady_clock::now();
  const int spawned = posix_spawn(&pid, kSelf, &actions, nullptr, Pointers(argv).data(), Pointers(env).data());
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; i < 3; ++i) {
    ::close(pipes[i][1]);
    if (i == 0 && !c.keepStdout) {
      ::close(pipes[i][0]);
    } else {
      s.fds[i] = pipes[i][0];
    }
  }
  c.pid = spawned == 0 ? pid : -1;
  c.started = spawned == 0;
  return spawned;
}

void TakeLines(std::size_t k, Streams& s, int which, bool all, const SupervisorCalls& calls) {
  std::string& buf = s.pending[which];
  std::size_t from = 0;
  for (std::size_t nl; (nl = buf.find('\n', from)) != std::string::npos; from = nl + 1) {
    calls.line(k, static_cast<ChildStream>(which), buf.substr(from, nl - from));
  }
  buf.erase(0, from);
  if (all && !buf.empty()) {
    calls.line(k, static_cast<ChildStream>(which), buf);
    buf.clear();
  }
}

// Reads one stream that poll found ready; closes it at its end.
void ReadStream(std::vector<SupervisedChild>& children, std::vector<Streams>& streams, std::size_t k, int i,
                const SupervisorCalls& calls) {
  Streams& s = streams[k];
  char buf[4096];
  const ssize_t n = ::read(s.fds[i], buf, sizeof buf);
  if (n > 0) {
    s.pending[i].append(buf, static_cast<std::size_t>(n));
    TakeLines(k, s, i, false, calls);
  } else if (n == 0 || errno != EINTR) {
    ::close(s.fds[i]);
    s.fds[i] = -1;
    TakeLines(k, s, i, true, calls);
    // The child's time ends when it closed its last stream (it is exiting).
    if (s.fds[0] < 0 && s.fds[1] < 0 && s.fds[2] < 0) children[k].end = std::chrono::steady_clock::now();
  }
}

void Serve(std::vector<SupervisedChild>& children, std::vector<Streams>& streams, const SupervisorCalls& calls) {
  int forwarded = 0;
  for (;;) {
    if (calls.stopSignal() != forwarded) {
      forwarded = calls.stopSignal();
      for (const SupervisedChild& c : children) {
        if (c.pid > 0) ::kill(c.pid, forwarded);
      }
    }
    std::vector<pollfd> polls;
    std::vector<std::pair<std::size_t, int>> owners;
    for (std::size_t k = 0; k < streams.size(); ++k) {
      for (int i = 0; i < 3; ++i) {
        if (streams[k].fds[i] < 0) continue;
        polls.push_back({streams[k].fds[i], POLLIN, 0});
        owners.emplace_back(k, i);
      }
    }
    if (polls.empty()) return;
    if (::poll(polls.data(), polls.size(), 200) > 0) {
      for (std::size_t p = 0; p < polls.size(); ++p) {
        if (polls[p].revents) ReadStream(children, streams, owners[p].first, owners[p].second, calls);
      }
    }
    if (calls.idle) calls.idle();
  }
}

}  // namespace

void SuperviseChildren(std::vector<SupervisedChild>& children, const SupervisorCalls& calls,
                       std::vector<int>* startErrors) {
  std::vector<Streams> streams(children.size());
  for (std::size_t k = 0; k < children.size(); ++k) {
    const int error = Spawn(children[k], streams[k]);
    if (startErrors) startErrors->push_back(error);
    if (error) children[k].end = std::chrono::steady_clock::now();
  }
  Serve(children, streams, calls);
  for (SupervisedChild& c : children) {
    if (c.pid <= 0) continue;
    int status = 0;
    while (::waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
    }
    // A child killed by a signal counts as failed (1).
    c.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  }
}

}  // namespace kv9::station
