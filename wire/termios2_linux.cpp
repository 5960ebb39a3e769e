#include "wire/termios2_linux.h"

// Only the kernel's definitions here: glibc's <termios.h> would clash.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace kv9::posix {

int ApplyRawLine(int fd, const RawLine& line) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;

  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                 INPCK | IGNPAR | IUCLC | IMAXBEL);
  t.c_oflag &= ~(OPOST);
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN | ECHOE | ECHOK);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= CREAD | CLOCAL;

  switch (line.dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
  }
  switch (line.parity) {
    case LineParity::None: break;
    case LineParity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case LineParity::Even: t.c_cflag |= PARENB; break;
    case LineParity::Mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case LineParity::Space: t.c_cflag |= PARENB | CMSPAR; break;
  }
  if (line.parityCheck && line.parity != LineParity::None) t.c_iflag |= INPCK;
  if (line.twoStopBits) t.c_cflag |= CSTOPB;
  if (line.ctsFlow) t.c_cflag |= CRTSCTS;
  if (line.xonXoffOut) t.c_iflag |= IXON;
  if (line.xonXoffIn) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = line.xonChar;
  t.c_cc[VSTOP] = line.xoffChar;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;

  // The input rate bits stay 0, "same as the output rate": the kernel then
  // derives the input speed from the output speed on every later change,
  // including one made through the older TCSETS by another program on the
  // same tty (Wine, for one). Input bits of BOTHER would freeze the input
  // speed at this value under such a change, and the two directions of the
  // line would run at different rates.
  t.c_cflag |= BOTHER;
  t.c_ospeed = line.rate;
  t.c_ispeed = line.rate;
  if (ioctl(fd, TCSETS2, &t) != 0) return errno;
  return 0;
}

int ReadLineRates(int fd, std::uint32_t* outRate, std::uint32_t* inRate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  if (outRate) *outRate = t.c_ospeed;
  if (inRate) *inRate = t.c_ispeed;
  return 0;
}

}  // namespace kv9::posix
