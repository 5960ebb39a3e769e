#pragma once
// Line settings through Linux's termios2 interface, which takes any bit rate
// (BOTHER) rather than the fixed Bxxx table. Kept in its own unit because the
// kernel's <asm/termbits.h> cannot share a translation unit with glibc's
// <termios.h>. Both the serial port component and the simulated module (on
// the pty master, where it reads the rate the tool set on the slave) use it.
#include <cstdint>

namespace kv9::posix {

enum class LineParity : std::uint8_t { None, Odd, Even, Mark, Space };

struct RawLine {
  std::uint32_t rate = 9600;        // bit/s, any value
  int dataBits = 8;                 // 5..8
  LineParity parity = LineParity::None;
  bool parityCheck = false;         // verify received parity (INPCK)
  bool twoStopBits = false;         // 1.5 stop bits is not available on Linux: two are used
  bool ctsFlow = false;             // CRTSCTS
  bool xonXoffOut = false;          // IXON
  bool xonXoffIn = false;           // IXOFF
  std::uint8_t xonChar = 0x11;
  std::uint8_t xoffChar = 0x13;
};

// Puts the descriptor in raw 8-bit mode (no echo, no line editing, no
// character translation, reads return at once) with the given settings.
// Both input and output speeds are set. Returns 0 or the errno value.
int ApplyRawLine(int fd, const RawLine& line);

// Reads the output and input bit rates. Returns 0 or the errno value. On a
// pty master this reports what the slave side configured.
int ReadLineRates(int fd, std::uint32_t* outRate, std::uint32_t* inRate);

}  // namespace kv9::posix
