#include "tests/support/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "wire/termios2_linux.h"

namespace kv9::test {

namespace {
int OpenMaster() {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) throw std::runtime_error("no pty");
  posix::RawLine raw;
  posix::ApplyRawLine(master, raw);
  return master;
}
}  // namespace

PtyPort::PtyPort(int number, const std::string& dir) : number_(number), dir_(dir) {
  master_ = OpenMaster();
  std::filesystem::create_symlink(::ptsname(master_), dir_ + "/" + Name());
}

PtyPort::PtyPort(int number) : number_(number), folder_(std::make_unique<PortFolder>()) {
  master_ = OpenMaster();
  dir_ = folder_->Path();
  std::filesystem::create_symlink(::ptsname(master_), dir_ + "/" + Name());
}

PtyPort::~PtyPort() {
  if (master_ >= 0) ::close(master_);
  std::error_code ec;
  std::filesystem::remove(dir_ + "/" + Name(), ec);
}

void PtyPort::Send(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    }
  }
}

std::vector<std::uint8_t> PtyPort::Receive(std::size_t count, int ms) {
  std::vector<std::uint8_t> out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    if (!(p.revents & POLLIN)) {
      ::usleep(1000);  // the slave is closed (POLLHUP); wait for it to reopen
      continue;
    }
    std::uint8_t buf[4096];
    ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
    if (n > 0) out.insert(out.end(), buf, buf + n);
  }
  return out;
}

std::vector<std::uint8_t> PtyPort::Drain(int ms) {
  std::vector<std::uint8_t> out;
  for (;;) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) break;
    std::uint8_t buf[4096];
    ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

std::uint32_t PtyPort::SlaveRate() const {
  std::uint32_t out = 0;
  posix::ReadLineRates(master_, &out, nullptr);
  return out;
}

void PtyPort::Unplug() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

}  // namespace kv9::test
