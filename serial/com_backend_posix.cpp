// POSIX implementation of one open serial device.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <termios.h>

#include "serial/com_backend.h"
#include "serial/com_error.h"
#include "serial/port_table.h"
#include "serial/termios2_linux.h"

namespace kv9 {
namespace {

// A pty, a USB adapter without those lines, or a driver without error
// counters answers these; it is a missing feature, not a failure.
bool Unsupported(int err) { return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP; }

class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  ~FdGuard() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

class PosixComDevice final : public ComDevice {
 public:
  PosixComDevice(int fd, int stopFd) : fd_(fd), stopFd_(stopFd) {}
  ~PosixComDevice() override {
    // Bytes that arrived but were never read must not greet the next opener
    // (a pty keeps them across close and reopen).
    ::tcflush(fd_, TCIOFLUSH);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    ::close(stopFd_);
  }

  void ApplyBufferSizes(int, int) override {}  // the kernel sizes its own queues

  void ApplyLine(const ComLineSettings& line) override {
    posix::RawLine raw;
    raw.rate = line.rate;
    raw.dataBits = 5 + static_cast<int>(line.dataBits);
    raw.parity = static_cast<posix::LineParity>(line.parity);
    raw.parityCheck = line.parityCheck;
    raw.twoStopBits = line.stopBits != sbOneStopBit;
    raw.ctsFlow = line.outCtsFlow || line.controlRts == rtsHandshake;
    raw.xonXoffOut = line.xonXoffOut;
    raw.xonXoffIn = line.xonXoffIn;
    raw.xonChar = line.xonChar;
    raw.xoffChar = line.xoffChar;
    if (int err = posix::ApplyRawLine(fd_, raw)) throw MakeComError(CError_SetStateFailed, err);
    // The DTR and RTS levels the settings fix; handshake modes leave them to the driver.
    if (line.controlDtr != dtrHandshake) SetDTR(line.controlDtr == dtrEnable);
    if (line.controlRts == rtsEnable || line.controlRts == rtsDisable) SetRTS(line.controlRts == rtsEnable);
  }

  void ApplyTimeouts(const TComTimeouts&) override {}  // reads never block; writes take their bound per call

  int Write(const std::uint8_t* bytes, int count, std::uint32_t timeoutMs) override {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int written = 0;
    while (written < count) {
      ssize_t n = ::write(fd_, bytes + written, static_cast<size_t>(count - written));
      if (n > 0) {
        written += static_cast<int>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) throw MakeComError(CError_WriteFailed, errno);
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;  // the bound ran out: report what went
      pollfd p{fd_, POLLOUT, 0};
      // One poll waits at most a second; the loop re-checks the deadline.
      int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)) + 1);
      if (r < 0 && errno != EINTR) throw MakeComError(CError_WriteFailed, errno);
      if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT)) {
        throw MakeComError(CError_WriteFailed, EIO);
      }
    }
    return written;
  }

  int Read(std::uint8_t* bytes, int count) override {
    int got = 0;
    while (got < count) {
      ssize_t n = ::read(fd_, bytes + got, static_cast<size_t>(count - got));
      if (n > 0) {
        got += static_cast<int>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || errno == EAGAIN) break;
      throw MakeComError(CError_ReadFailed, errno);
    }
    bytesRead_ += static_cast<std::uint64_t>(got);
    return got;
  }

  std::uint64_t BytesRead() const override { return bytesRead_.load(); }

  int InputCount() override {
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0) throw MakeComError(CError_ClearComFailed, errno);
    return n;
  }

  TComErrors TakeErrors(bool parityCheck) override {
    TComErrors errors;
    if (!countersSupported_) return errors;
    serial_icounter_struct now{};
    if (::ioctl(fd_, TIOCGICOUNT, &now) != 0) {
      countersSupported_ = false;
      return errors;
    }
    if (haveCounters_) {
      if (now.frame != counters_.frame) errors.Include(ceFrame);
      if (parityCheck && now.parity != counters_.parity) errors.Include(ceRxParity);
      if (now.overrun != counters_.overrun) errors.Include(ceOverrun);
      if (now.brk != counters_.brk) errors.Include(ceBreak);
      if (now.buf_overrun != counters_.buf_overrun) errors.Include(ceRxOver);
    }
    counters_ = now;
    haveCounters_ = true;
    return errors;
  }

  void SetDTR(bool on) override { SetModemLine(TIOCM_DTR, on); }
  void SetRTS(bool on) override { SetModemLine(TIOCM_RTS, on); }

  void ReadModemStatus() override {
    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) != 0 && !Unsupported(errno)) {
      throw MakeComError(CError_ModemStatFailed, errno);
    }
  }

  void Purge(bool input, bool output) override {
    if (input && output) ::tcflush(fd_, TCIOFLUSH);
    else if (input) ::tcflush(fd_, TCIFLUSH);
    else if (output) ::tcflush(fd_, TCOFLUSH);
  }

  ComWaitResult WaitEvents() override {
    ComWaitResult result;
    for (;;) {
      pollfd p[2] = {{stopFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
      int r = ::poll(p, 2, -1);
      if (r < 0) {
        if (errno == EINTR) continue;
        result.gone = true;
        return result;
      }
      if (p[0].revents) {
        result.stopped = true;
        return result;
      }
      const short ev = p[1].revents;
      if (ev & (POLLERR | POLLHUP | POLLNVAL)) {
        result.gone = true;
        result.events.Include(evError);
        return result;
      }
      if (countersSupported_) result.events.Include(evError);  // the handler reads the counters
      if (ev & POLLIN) {
        int n = 0;
        if (::ioctl(fd_, FIONREAD, &n) == 0 && n > 0) {
          result.events.Include(evRxChar);
          return result;
        }
        // FIONREAD can lag POLLIN by a moment; look again shortly.
        BackOff(1);
        continue;
      }
    }
  }

  void RequestStop() override {
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(stopFd_, &one, sizeof one);
  }

  void BackOff(std::uint32_t ms) override {
    pollfd p{stopFd_, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(ms));
  }

 private:
  void SetModemLine(int bit, bool on) {
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && !Unsupported(errno)) {
      throw MakeComError(CError_EscapeComFailed, errno);
    }
  }

  int fd_;
  int stopFd_;
  std::atomic<std::uint64_t> bytesRead_{0};
  // Written by LastErrors on the user-interface thread while the event thread
  // may be reading it in WaitEvents.
  std::atomic<bool> countersSupported_{true};
  bool haveCounters_ = false;
  serial_icounter_struct counters_{};
};

}  // namespace

std::unique_ptr<ComDevice> ComDevice::Open(const std::string& portName) {
  const std::string path = PortDevicePath(portName);
  if (path.empty()) throw MakeComError(CError_OpenFailed, ENOENT);
  FdGuard fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) throw MakeComError(CError_OpenFailed, errno);
  // Exclusive use for this and every other program, root included.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) throw MakeComError(CError_OpenFailed, errno);
  if (!::isatty(fd.get())) throw MakeComError(CError_OpenFailed, ENOTTY);
  FdGuard stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (stop.get() < 0) throw MakeComError(CError_OpenFailed, errno);
  // Raw mode before anything is read, so no byte passes through line editing.
  posix::RawLine raw;
  if (int err = posix::ApplyRawLine(fd.get(), raw)) throw MakeComError(CError_OpenFailed, err);
  ::tcflush(fd.get(), TCIFLUSH);
  const int stopFd = stop.release();
  auto device = std::make_unique<PosixComDevice>(fd.release(), stopFd);
  // The driver's error counters run since boot: take their values now, so the
  // first batch's line errors (garbage at a wrong rate) count against this
  // opening rather than becoming the baseline.
  device->TakeErrors(false);
  return device;
}

}  // namespace kv9
