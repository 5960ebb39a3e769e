#pragma once
// A hand-written peer for replies the simulated module would never give
// (a name of zero characters, a wrong echo, a read-back that differs): it
// reads module command frames from a pty master and answers each with
// whatever the test's script returns.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/pty_port.h"

namespace kv9::test {

using Bytes = std::vector<std::uint8_t>;

// A reply frame: STX 00 status LEN data ETX SUM CR.
Bytes ReplyFrame(std::uint8_t status, const Bytes& data);

class ScriptedModule {
 public:
  // `script` gets every complete frame (STX..CR) and returns the bytes to
  // send back (empty: stay silent).
  ScriptedModule(PtyPort& port, std::function<Bytes(const Bytes& frame)> script);
  ~ScriptedModule();
  std::vector<Bytes> Frames();
  // Runs `access` while the script cannot run. The script runs on the
  // peer's thread, so a test that changes what it answers, or reads what it
  // counted, does so through here: the pty between them orders the bytes
  // but is no synchronisation the language knows.
  void WithScript(const std::function<void()>& access);

 private:
  void Run();
  PtyPort& port_;
  std::function<Bytes(const Bytes&)> script_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Bytes> frames_;
  std::thread thread_;
};

}  // namespace kv9::test
