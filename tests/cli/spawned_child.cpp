#include "tests/cli/spawned_child.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace kv9::test {

SpawnedChild::SpawnedChild(const std::string& program, const std::vector<std::string>& args,
                           Output output) {
  UniqueFd writeEnds[2];
  if (output == Output::Pty) {
    int master = -1, slave = -1;
    winsize size{};
    size.ws_row = 40;
    size.ws_col = 120;
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) return;
    fds_[0] = UniqueFd(master);
    writeEnds[0] = UniqueFd(slave);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
  } else {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    fds_[0] = UniqueFd(out[0]);
    writeEnds[0] = UniqueFd(out[1]);
    if (::pipe2(err, O_CLOEXEC) != 0) return;
    fds_[1] = UniqueFd(err[0]);
    writeEnds[1] = UniqueFd(err[1]);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeEnds[0].Get(), 1);
  posix_spawn_file_actions_adddup2(&actions,
                                   (writeEnds[1].Valid() ? writeEnds[1] : writeEnds[0]).Get(), 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  for (UniqueFd& end : writeEnds) end.Reset();  // the child holds them now
  reader_ = std::thread([this] { Read(); });
}

SpawnedChild::~SpawnedChild() {
  // A test that stopped early still reaps its child and the reader thread.
  if (pid_ > 0 || reader_.joinable()) Finish(1000);
}

void SpawnedChild::Read() {
  std::string got[2];
  for (;;) {
    pollfd p[2] = {{fds_[0].Get(), POLLIN, 0}, {fds_[1].Get(), POLLIN, 0}};
    if (p[0].fd < 0 && p[1].fd < 0) break;
    if (::poll(p, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (!p[i].revents) continue;
      char buf[4096];
      const ssize_t n = ::read(fds_[i].Get(), buf, sizeof buf);
      if (n > 0) {
        got[i].append(buf, static_cast<std::size_t>(n));
        if (i == 0) {
          std::lock_guard<std::mutex> lock(mutex_);
          soFar_ = got[0];
          done_.notify_all();
        }
      } else {
        // End of a pipe; a pty master reads EIO once the child's side is gone.
        fds_[i].Reset();
      }
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  result_.out = got[0];
  result_.err = got[1];
  finished_ = true;
  done_.notify_all();
}

bool SpawnedChild::WaitForOutput(const std::string& text, int timeoutMs, int times) {
  auto count = [&] {
    int n = 0;
    for (std::size_t at = soFar_.find(text); at != std::string::npos; at = soFar_.find(text, at + 1)) ++n;
    return n;
  };
  std::unique_lock<std::mutex> lock(mutex_);
  return done_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return finished_ || count() >= times; }) &&
         count() >= times;
}

ChildResult SpawnedChild::Finish(int timeoutMs) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!done_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return finished_; })) {
      result_.timedOut = true;
      if (pid_ > 0) ::kill(pid_, SIGKILL);
    }
  }
  if (reader_.joinable()) reader_.join();
  int status = 0;
  if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status) && !result_.timedOut) {
    result_.exitCode = WEXITSTATUS(status);
  }
  pid_ = -1;
  return result_;
}

}  // namespace kv9::test
