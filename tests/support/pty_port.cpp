#include "tests/support/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "wire/termios2_linux.h"

namespace kv9::test {

namespace {

using Clock = std::chrono::steady_clock;

// Raw before the port is published, so no byte is edited or echoed.
UniqueFd OpenMaster() {
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!master.Valid() || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
    throw std::runtime_error("no pty");
  }
  if (posix::ApplyRawLine(master.Get(), posix::RawLine{}) != 0)
    throw std::runtime_error("raw mode failed");
  return master;
}

int MsLeft(Clock::time_point deadline) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

std::string SlaveName(int master) {
  const char* name = ::ptsname(master);
  if (name == nullptr) throw std::runtime_error("ptsname failed");
  return name;
}

}  // namespace

PtyPort::PtyPort(int number, const std::string& dir)
    : number_(number), master_(OpenMaster()), slave_(SlaveName(master_.Get())), dir_(dir) {
  std::filesystem::create_symlink(slave_, dir_ + "/" + Name());
}

PtyPort::PtyPort(int number)
    : number_(number),
      master_(OpenMaster()),
      slave_(SlaveName(master_.Get())),
      folder_(std::make_unique<PortFolder>()) {
  dir_ = folder_->Path();
  std::filesystem::create_symlink(slave_, dir_ + "/" + Name());
}

PtyPort::~PtyPort() {
  std::error_code ec;
  std::filesystem::remove(dir_ + "/" + Name(), ec);
}

void PtyPort::Send(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_.Get(), bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) throw std::runtime_error("master write failed");
    if (Clock::now() > deadline) throw std::runtime_error("master write timed out");
    pollfd p{master_.Get(), POLLOUT, 0};
    ::poll(&p, 1, 10);
  }
}

std::vector<std::uint8_t> PtyPort::Receive(std::size_t count, int ms) {
  std::vector<std::uint8_t> out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (out.size() < count) {
    const int left = MsLeft(deadline);
    if (left <= 0) break;
    pollfd p{master_.Get(), POLLIN, 0};
    if (::poll(&p, 1, left) <= 0) continue;
    if (!(p.revents & POLLIN)) {
      ::usleep(1000);  // the slave is closed (POLLHUP); wait for it to reopen
      continue;
    }
    std::uint8_t buf[4096];
    const ssize_t n = ::read(master_.Get(), buf, std::min(sizeof buf, count - out.size()));
    if (n > 0) out.insert(out.end(), buf, buf + n);
  }
  return out;
}

std::string PtyPort::ReceiveText(std::size_t count, int ms) {
  const auto bytes = Receive(count, ms);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> PtyPort::Drain(int ms) {
  std::vector<std::uint8_t> out;
  for (;;) {
    pollfd p{master_.Get(), POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) break;
    std::uint8_t buf[4096];
    const ssize_t n = ::read(master_.Get(), buf, sizeof buf);
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

std::uint32_t PtyPort::SlaveRate() const {
  std::uint32_t out = 0;
  posix::ReadLineRates(master_.Get(), &out, nullptr);
  return out;
}

std::uint32_t PtyPort::LineRate() const {
  std::uint32_t out = 0, in = 0;
  if (posix::ReadLineRates(master_.Get(), &out, &in) != 0)
    throw std::runtime_error("ReadLineRates failed");
  if (out != in) throw std::runtime_error("input and output rates differ");
  return out;
}

}  // namespace kv9::test
