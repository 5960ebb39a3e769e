// POSIX implementation of one open serial device.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <termios.h>
#include <thread>

#include "serial/com_backend.h"
#include "serial/com_backend_posix.h"
#include "serial/com_error.h"
#include "serial/device_holders_posix.h"
#include "serial/output_drain.h"
#include "serial/port_table.h"
#include "wire/termios2_linux.h"
#include "wire/unique_fd.h"

namespace kv9 {
namespace {

// A pty, a USB adapter without those lines, or a driver without error
// counters answers these; it is a missing feature, not a failure.
bool Unsupported(int err) { return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP; }

// TIOCEXCL outlives the descriptor on a pty (the next open would fail with
// EBUSY), so whoever set it clears it before letting the descriptor go.
void ClearExclusive(int fd) { ::ioctl(fd, TIOCNXCL); }

// Clears the exclusive mark on the way out of a failed opening, unless
// another program had set it.
class ExclusiveGuard {
 public:
  ExclusiveGuard(int fd, bool ours) : fd_(fd), ours_(ours) {}
  ExclusiveGuard(const ExclusiveGuard&) = delete;
  ExclusiveGuard& operator=(const ExclusiveGuard&) = delete;
  ~ExclusiveGuard() {
    if (ours_) ClearExclusive(fd_);
  }
  void release() { ours_ = false; }

 private:
  int fd_;
  bool ours_;
};

std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// Raises code 1 for a device someone else has open; the holder is named when
// the system shows it.
[[noreturn]] void ThrowInUse(int err, dev_t device, int ownFd) {
  throw MakeComError(CError_OpenFailed, err, posix::HolderText(posix::FindDeviceHolder(device, ownFd)));
}

class PosixComDevice final : public ComDevice {
 public:
  PosixComDevice(int fd, int stopFd, std::unique_ptr<posix::LowLatencyMode> lowLatency,
                 AdapterLatency latency)
      : fd_(fd), stopFd_(stopFd), lowLatency_(std::move(lowLatency)), latency_(latency) {}
  ~PosixComDevice() override {
    // The driver's earlier flags go back while the descriptor is still ours.
    lowLatency_.reset();
    // Bytes that arrived but were never read must not greet the next opener
    // (a pty keeps them across close and reopen).
    ::tcflush(fd_, TCIOFLUSH);
    ClearExclusive(fd_);
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
    rate_.store(line.rate);
    ctsFlow_.store(raw.ctsFlow);
    // DTR and RTS levels are the component's to set (SetDTR, SetRTS): a new
    // rate must not touch lines the module or its cable may depend on.
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
    // Queued is not sent: wait until the driver has put the bytes on the line,
    // so the caller's reply wait starts when the frame has gone. Bytes still
    // queued when the bound ran out are dropped and not counted as written,
    // as a timed-out write ends on Windows.
    const auto deadlineMs =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       deadline.time_since_epoch())
                                       .count());
    const DriverOutput out = DriverOutputOf(fd_);
    const int left = WaitUntilSent(out, rate_.load(), deadlineMs);
    if (left > 0) {
      ::tcflush(fd_, TCOFLUSH);
      written = std::max(0, written - left);
    } else if (out.shifting() < 0 && !ctsFlow_.load()) {
      // A USB adapter keeps up to a few hundred bytes in its own FIFO once
      // its queue reads empty; tcdrain waits for them where the driver can
      // tell (and returns at once where it cannot, a pty included). Without
      // flow control nothing can hold them, so the wait is no longer than
      // the bytes just written take on the line.
      ::tcdrain(fd_);
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

  AdapterLatency Latency() const override { return latency_; }

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

  bool Park() override {
    ::tcflush(fd_, TCIOFLUSH);
    // Closing the last descriptor drops DTR and RTS where the line hangs up
    // on close (HUPCL); the kept descriptor does the same by hand.
    termios t {};
    if (::tcgetattr(fd_, &t) == 0 && (t.c_cflag & HUPCL)) {
      int bits = TIOCM_DTR | TIOCM_RTS;
      ::ioctl(fd_, TIOCMBIC, &bits);
    }
    std::uint64_t pending = 0;
    [[maybe_unused]] auto n = ::read(stopFd_, &pending, sizeof pending);  // withdraw the stop request
    pollfd p{fd_, 0, 0};
    if (::poll(&p, 1, 0) < 0) return false;
    return (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
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

  static DriverOutput DriverOutputOf(int fd) {
    DriverOutput out;
    out.queued = [fd] {
      int n = 0;
      return ::ioctl(fd, TIOCOUTQ, &n) == 0 ? n : -1;
    };
    out.shifting = [fd] {
      // UART drivers report whether the transmitter's FIFO and shift
      // register are empty; ptys and most USB adapters cannot tell.
      unsigned int lsr = 0;
      if (::ioctl(fd, TIOCSERGETLSR, &lsr) != 0) return -1;
      return (lsr & TIOCSER_TEMT) ? 0 : 1;
    };
    out.nowMs = SteadyMs;
    out.sleepMs = [](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    return out;
  }

  int fd_;
  int stopFd_;
  std::unique_ptr<posix::LowLatencyMode> lowLatency_;
  AdapterLatency latency_;
  std::atomic<std::uint32_t> rate_{9600};
  std::atomic<bool> ctsFlow_{false};
  std::atomic<std::uint64_t> bytesRead_{0};
  // Written by LastErrors on the user-interface thread while the event thread
  // may be reading it in WaitEvents.
  std::atomic<bool> countersSupported_{true};
  bool haveCounters_ = false;
  serial_icounter_struct counters_{};
};

}  // namespace

std::unique_ptr<ComDevice> ComDevice::Open(const std::string& portName) {
  return posix::OpenComDevice(portName, posix::KernelSerialFlags(), posix::AdapterSysfs{});
}

namespace posix {

std::unique_ptr<ComDevice> OpenComDevice(const std::string& portName, SerialFlagsIo& flagsIo,
                                         const AdapterSysfs& sysfs) {
  const std::string path = PortDevicePath(portName);
  if (path.empty()) throw MakeComError(CError_OpenFailed, ENOENT);
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) {
    const int err = errno;
    struct stat st {};
    // EBUSY: another program opened it with TIOCEXCL; say who, if we may see it.
    if (err == EBUSY && ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) ThrowInUse(err, st.st_rdev, -1);
    throw MakeComError(CError_OpenFailed, err);
  }
  if (!::isatty(fd.Get())) throw MakeComError(CError_OpenFailed, ENOTTY);
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) throw MakeComError(CError_OpenFailed, errno);
  // Exclusive use, three ways: flock binds programs that lock (root
  // included); TIOCEXCL makes every later open fail for anyone but root; and
  // a program that opened the device earlier without either is found among
  // the open descriptors.
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) ThrowInUse(errno, st.st_rdev, fd.Get());
  int alreadyExclusive = 0;
  if (::ioctl(fd.Get(), TIOCGEXCL, &alreadyExclusive) != 0) alreadyExclusive = 0;
  if (::ioctl(fd.Get(), TIOCEXCL) != 0) throw MakeComError(CError_OpenFailed, errno);
  ExclusiveGuard exclusive(fd.Get(), alreadyExclusive == 0);
  {
    const posix::DeviceHolder holder = posix::FindDeviceHolder(st.st_rdev, fd.Get());
    if (holder.pid != 0) throw MakeComError(CError_OpenFailed, EBUSY, posix::HolderText(holder));
  }
  UniqueFd stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (stop.Get() < 0) throw MakeComError(CError_OpenFailed, errno);
  // Raw mode before anything is read, so no byte passes through line editing.
  posix::RawLine raw;
  if (int err = posix::ApplyRawLine(fd.Get(), raw)) throw MakeComError(CError_OpenFailed, err);
  ::tcflush(fd.Get(), TCIFLUSH);
  // Short replies then reach the tool without waiting for a USB adapter's
  // latency timer; the timer the adapter now runs is what the log names.
  auto lowLatency = std::make_unique<LowLatencyMode>(fd.Get(), flagsIo);
  AdapterLatency latency;
  latency.lowLatency = lowLatency->InForce();
  const std::string tty = TtyNameOf(sysfs.devChar, major(st.st_rdev), minor(st.st_rdev));
  latency.timerMs = ReadLatencyTimer(sysfs.usbSerialDevices, tty).value_or(-1);
  exclusive.release();
  const int stopFd = stop.Release();
  auto device = std::make_unique<PosixComDevice>(fd.Release(), stopFd, std::move(lowLatency), latency);
  // The driver's error counters run since boot: take their values now, so the
  // first batch's line errors (garbage at a wrong rate) count against this
  // opening rather than becoming the baseline.
  device->TakeErrors(false);
  return device;
}

}  // namespace posix
}  // namespace kv9
