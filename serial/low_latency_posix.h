#pragma once
// Low-latency mode of a Linux serial driver, asked for while the tool holds
// a port. The FTDI driver turns ASYNC_LOW_LATENCY into a 1 ms latency
// timer (instead of 16 ms), so each short reply of the module reaches the
// tool up to 15 ms earlier. The request is made on every port; a device
// that refuses it (a pty, a driver without serial flags, a user who may not
// change them) is used as before, without a word.
#include <linux/serial.h>

#include <optional>
#include <string>

namespace kv9::posix {

// The driver's serial flags, as TIOCGSERIAL and TIOCSSERIAL reach them.
// Tests stand in for a driver here.
class SerialFlagsIo {
 public:
  virtual ~SerialFlagsIo() = default;
  // 0 or the error number.
  virtual int Get(int fd, serial_struct& flags) = 0;
  virtual int Set(int fd, const serial_struct& flags) = 0;
};

// The kernel's: ioctl on the descriptor.
SerialFlagsIo& KernelSerialFlags();

// The flags to ask for: low latency added, nothing else changed.
int LowLatencyFlags(int flags);
// The flags to put back at closing: the current ones with the low-latency
// bit as it was before the request (anything else changed meanwhile stays).
int RestoredFlags(int current, int before);

// Asks for low-latency mode on construction and puts the earlier flag back
// on destruction (before the descriptor closes). Never raises.
class LowLatencyMode {
 public:
  LowLatencyMode(int fd, SerialFlagsIo& io);
  ~LowLatencyMode();
  LowLatencyMode(const LowLatencyMode&) = delete;
  LowLatencyMode& operator=(const LowLatencyMode&) = delete;

  // Low latency is in force: the driver took the request (or had it on).
  bool InForce() const { return inForce_; }

 private:
  int fd_;
  SerialFlagsIo& io_;
  bool inForce_ = false;
  std::optional<int> before_;  // the flags before the request, when it changed them
};

// Where sysfs tells about adapters; tests point these at folders of their own.
struct AdapterSysfs {
  std::string devChar = "/sys/dev/char";  // <major>:<minor> -> the device's folder
  std::string usbSerialDevices = "/sys/bus/usb-serial/devices";  // <tty>/latency_timer
};

// The adapter's latency timer in ms, from <usbSerialDevices>/<tty>/latency_timer
// (FTDI and a few others); none where the file is missing or unreadable.
// With low latency in force the FTDI driver reports 1 there.
std::optional<int> ReadLatencyTimer(const std::string& usbSerialDevices, const std::string& tty);

// The kernel's name of a character device ("ttyUSB0"), from
// <devChar>/<major>:<minor>; "" when the system does not tell (a pty).
std::string TtyNameOf(const std::string& devChar, unsigned major, unsigned minor);

}  // namespace kv9::posix
