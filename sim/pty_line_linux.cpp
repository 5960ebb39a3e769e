#include "pty_line_linux.h"

// Only the kernel's definitions here: glibc's <termios.h> would clash.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "wire/termios2_linux.h"

namespace kv9::sim {

namespace {

// The Bxxx code of a standard rate, or BOTHER.
tcflag_t SpeedCode(std::uint32_t rate) {
  struct Entry {
    std::uint32_t rate;
    tcflag_t code;
  };
  static constexpr Entry kTable[] = {{1200, B1200},      {2400, B2400},     {4800, B4800},
                                     {9600, B9600},      {19200, B19200},   {38400, B38400},
                                     {57600, B57600},    {115200, B115200}, {230400, B230400},
                                     {460800, B460800},  {500000, B500000}, {921600, B921600},
                                     {1000000, B1000000}};
  for (const Entry& e : kTable) {
    if (e.rate == rate) return e.code;
  }
  return BOTHER;
}

}  // namespace

int PublishRawLine(int masterFd, std::uint32_t rate) {
  posix::RawLine line;
  line.rate = rate;
  if (int err = posix::ApplyRawLine(masterFd, line); err != 0) return err;
  // On a pty master these calls act on the slave's settings, which the
  // tool's side reads back with tcgetattr.
  struct termios2 t {};
  if (ioctl(masterFd, TCGETS2, &t) != 0) return errno;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= SpeedCode(rate);
  t.c_ospeed = rate;
  t.c_ispeed = rate;
  if (ioctl(masterFd, TCSETS2, &t) != 0) return errno;
  return 0;
}

}  // namespace kv9::sim
