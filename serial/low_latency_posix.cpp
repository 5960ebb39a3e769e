#include "serial/low_latency_posix.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace kv9::posix {
namespace {

class KernelFlags final : public SerialFlagsIo {
 public:
  int Get(int fd, serial_struct& flags) override {
    return ::ioctl(fd, TIOCGSERIAL, &flags) == 0 ? 0 : errno;
  }
  int Set(int fd, const serial_struct& flags) override {
    return ::ioctl(fd, TIOCSSERIAL, &flags) == 0 ? 0 : errno;
  }
};

}  // namespace

SerialFlagsIo& KernelSerialFlags() {
  static KernelFlags kernel;
  return kernel;
}

int LowLatencyFlags(int flags) { return flags | ASYNC_LOW_LATENCY; }

int RestoredFlags(int current, int before) {
  return (current & ~ASYNC_LOW_LATENCY) | (before & ASYNC_LOW_LATENCY);
}

LowLatencyMode::LowLatencyMode(int fd, SerialFlagsIo& io) : fd_(fd), io_(io) {
  serial_struct flags{};
  const int readError = io_.Get(fd_, flags);
  if (readError == ENOTTY) {
    // The driver keeps no serial flags (a pty): it has no setter either, as
    // the kernel routes both requests to the same driver table, so the
    // request is still made and answered with the same refusal, and the
    // port is used as it is. Nothing was read, so nothing is put back.
    serial_struct onlyLowLatency{};
    onlyLowLatency.flags = ASYNC_LOW_LATENCY;
    inForce_ = io_.Set(fd_, onlyLowLatency) == 0;
    return;
  }
  if (readError != 0) return;  // a driver that cannot tell now: left alone
  if (flags.flags & ASYNC_LOW_LATENCY) {
    inForce_ = true;  // someone asked before us: nothing to put back
    return;
  }
  const int before = flags.flags;
  flags.flags = LowLatencyFlags(before);
  if (io_.Set(fd_, flags) != 0) return;  // refused (not permitted): used as it is
  inForce_ = true;
  before_ = before;
}

LowLatencyMode::~LowLatencyMode() {
  if (!before_) return;
  // Read again: only our bit goes back, whatever else the driver keeps.
  serial_struct flags{};
  if (io_.Get(fd_, flags) != 0) return;  // unplugged: nothing left to restore
  flags.flags = RestoredFlags(flags.flags, *before_);
  io_.Set(fd_, flags);
}

std::optional<int> ReadLatencyTimer(const std::string& usbSerialDevices, const std::string& tty) {
  if (tty.empty() || usbSerialDevices.empty()) return std::nullopt;
  std::ifstream in(std::filesystem::path(usbSerialDevices) / tty / "latency_timer");
  int ms = -1;
  if (!(in >> ms) || ms < 0) return std::nullopt;
  return ms;
}

std::string TtyNameOf(const std::string& devChar, unsigned major, unsigned minor) {
  std::error_code ec;
  const auto device = std::filesystem::canonical(
      std::filesystem::path(devChar) / (std::to_string(major) + ":" + std::to_string(minor)), ec);
  return ec ? std::string() : device.filename().string();
}

}  // namespace kv9::posix
