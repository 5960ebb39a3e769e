#pragma once
// A real MQTT broker for a test: `mosquitto -c CONF` on 127.0.0.1 at a port
// of its own, with a configuration written into the test's folder (never
// the machine's broker service). It can be stopped and started again on the
// same port, keeping its sessions and retained messages (persistence in the
// folder), as a broker restart on a factory floor does. Only the process it
// started is ever stopped.
#include <sys/types.h>

#include <filesystem>
#include <string>

namespace kv9::test {

// A port on 127.0.0.1 that nothing listens on now.
int FreeLocalPort();

class MosquittoBroker {
 public:
  // `extraConfig` lines are added to the configuration (a password file).
  explicit MosquittoBroker(std::filesystem::path folder, std::string extraConfig = {});
  ~MosquittoBroker();
  MosquittoBroker(const MosquittoBroker&) = delete;
  MosquittoBroker& operator=(const MosquittoBroker&) = delete;

  // Starts the broker and waits until it takes connections; false when it
  // did not within `timeoutMs`.
  bool Start(int timeoutMs = 10000);
  // Stops it (SIGTERM, it saves its state) and waits for its end.
  void Stop();
  int Port() const { return port_; }
  std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }

 private:
  std::filesystem::path folder_;
  int port_;
  pid_t pid_ = -1;
};

// Waits until `done()` holds, looking every 20 ms; false at the watchdog.
template <typename Pred>
bool WaitUntil(Pred done, int timeoutMs);

}  // namespace kv9::test

#include <chrono>
#include <thread>

template <typename Pred>
bool kv9::test::WaitUntil(Pred done, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}
