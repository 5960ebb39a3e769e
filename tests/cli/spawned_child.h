#pragma once
// A program started in the background, so a test can act on it while it
// runs (send it a signal at a chosen moment), then collect its output with
// a deadline. Its stdout and stderr go to pipes, or both to one pty (what a
// person at a terminal sees).
#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "wire/unique_fd.h"

namespace kv9::test {

class SpawnedChild {
 public:
  enum class Output { Pipes, Pty };
  SpawnedChild(const std::string& program, const std::vector<std::string>& args,
               Output output = Output::Pipes);
  ~SpawnedChild();
  SpawnedChild(const SpawnedChild&) = delete;
  SpawnedChild& operator=(const SpawnedChild&) = delete;

  pid_t Pid() const { return pid_; }
  // Waits until stdout (or the pty) holds `text` `times` times; false when
  // the program ended or `timeoutMs` (a watchdog) passed first.
  bool WaitForOutput(const std::string& text, int timeoutMs, int times = 1);
  // Waits for the end (killed at the deadline: timedOut). With a pty, `out`
  // holds every byte the terminal received and `err` stays empty.
  ChildResult Finish(int timeoutMs);

 private:
  void Read();
  pid_t pid_ = -1;
  UniqueFd fds_[2];  // stdout (or the pty) and stderr; the reader closes each at its end
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::string soFar_;  // stdout as it arrives
  ChildResult result_;
};

}  // namespace kv9::test
