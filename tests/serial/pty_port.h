#pragma once
// Test helpers for the serial port suite: a pseudo-terminal that stands in for
// the module's serial line, published as a "COM<n>" port through a temporary
// KV9_PORT_DIR. The test holds the master side and plays the module; the
// component under test opens the slave by its port name.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "wire/termios2_linux.h"
#include "watchdog.h"

namespace kv9::test {

// A fresh empty folder under the system's temporary folder, removed with
// everything in it at the end.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kv9serialXXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable for the life of the object and puts the
// previous state back afterwards, so tests do not leak settings into each other.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
    else ::unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// One pseudo-terminal; the test side is the master.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) throw std::runtime_error("posix_openpt failed");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("grantpt/unlockpt failed");
    const char* name = ::ptsname(master_);
    if (name == nullptr) throw std::runtime_error("ptsname failed");
    slave_ = name;
    // Raw before the port is published, so no byte is edited or echoed.
    if (posix::ApplyRawLine(master_, posix::RawLine{}) != 0) throw std::runtime_error("raw mode failed");
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  ~Pty() { CloseMaster(); }

  const std::string& slavePath() const { return slave_; }
  int master() const { return master_; }

  // The module goes away: the slave sees a hang-up from now on.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (done < bytes.size()) {
      ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) throw std::runtime_error("master write failed");
      if (Clock::now() > deadline) throw std::runtime_error("master write timed out");
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 10);
    }
  }
  void Write(const std::string& text) { Write(std::vector<std::uint8_t>(text.begin(), text.end())); }

  // What the slave side sent: waits up to timeoutMs for `count` bytes and
  // returns what came (fewer when the time ran out).
  std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs = 2000) {
    std::vector<std::uint8_t> got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint8_t buf[4096];
    while (got.size() < count && Clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      ::poll(&p, 1, 10);
      ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
      if (n > 0) got.insert(got.end(), buf, buf + n);
      // EAGAIN: nothing yet; EIO: no slave open at the moment. Both: look again.
    }
    return got;
  }
  std::string ReadText(std::size_t count, int timeoutMs = 2000) {
    auto bytes = Read(count, timeoutMs);
    return std::string(bytes.begin(), bytes.end());
  }

  // The bit rate the slave side configured, as the module would see it.
  std::uint32_t LineRate() const {
    std::uint32_t out = 0, in = 0;
    if (posix::ReadLineRates(master_, &out, &in) != 0) throw std::runtime_error("ReadLineRates failed");
    if (out != in) throw std::runtime_error("input and output rates differ");
    return out;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// A temporary KV9_PORT_DIR with ptys published in it as COM<n>.
class PortDir {
 public:
  PortDir() : env_("KV9_PORT_DIR", dir_.path().string()) {}

  // A new pty published as COM<number>; lives as long as this folder.
  Pty& AddPty(int number) {
    ptys_.push_back(std::make_unique<Pty>());
    Link("COM" + std::to_string(number), ptys_.back()->slavePath());
    return *ptys_.back();
  }
  // An entry of any name pointing anywhere (missing devices, non-ttys).
  void Link(const std::string& name, const std::string& target) {
    std::filesystem::create_symlink(target, dir_.path() / name);
  }
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  ScopedEnv env_;
  std::vector<std::unique_ptr<Pty>> ptys_;
};

// Runs `step` (which should pump messages briefly) until `done` holds or the
// bound runs out; returns whether `done` held. Keeps every wait bounded.
template <typename Done, typename Step>
bool PumpUntil(Done done, Step step, int timeoutMs = 2000) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    step();
  }
  return true;
}

}  // namespace kv9::test
