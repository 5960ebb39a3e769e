#pragma once
// Test-side helpers: a raw serial line on the simulator's published slave
// (the tool's controller is deliberately not used, so the two check each
// other), hand-built frames, and a fixture that runs one module in-process.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_module.h"
#include "tests/support/temp_dir.h"
#include "wire/unique_fd.h"

namespace kv9::sim::test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Module command frame: STX 00 code LEN data ETX FrameSum CR.
Bytes ModuleFrame(std::uint8_t code, const Bytes& data);
// Module reply as the firmware must send it (for comparisons).
Bytes ModuleReply(std::uint8_t status, const Bytes& data);
// Boot frame with a size byte: cmd, size, data, BootSum.
Bytes BootFrame(std::uint8_t command, const Bytes& data);
// Data reply as the boot program must send it: code, size, data, BootSum.
Bytes BootReply(std::uint8_t code, const Bytes& data);
// 256-byte programming frame: 0x50, address, data, BootSum.
Bytes ProgramFrame(std::uint32_t address, const Bytes& data);
Bytes Be32(std::uint32_t v);
Bytes Text(const std::string& s);

// The tool's side of the line, opened like the serial component opens it:
// non-blocking, no controlling tty, raw 8-bit at a given rate.
class TestLine {
 public:
  TestLine(std::filesystem::path path, std::uint32_t rate);
  ~TestLine() { Close(); }

  void SetRate(std::uint32_t rate);
  void Send(const Bytes& bytes);
  // Reads until `count` bytes came or `timeout` passed; returns what came.
  Bytes Read(std::size_t count, std::chrono::milliseconds timeout = 1000ms);
  // Sends, then reads `count` bytes (after discarding anything stale).
  Bytes Exchange(const Bytes& bytes, std::size_t count, std::chrono::milliseconds timeout = 1000ms);
  void Discard();  // drops unread input, as the serial component does on close
  void Close();
  void Reopen();
  int Fd() const { return fd_.Get(); }

 private:
  std::filesystem::path path_;
  std::uint32_t rate_;
  UniqueFd fd_;
};

// Runs one module per test in a private port directory.
class SimTest : public ::testing::Test {
 protected:
  // Options with the private port directory and a short restart time.
  SimOptions Options() const;
  SimModule& Start(SimOptions options);
  SimModule& Start() { return Start(Options()); }
  TestLine& Line(std::uint32_t rate = 19200);

  // Boot-mode request at the firmware rate, then waits until the boot program runs.
  void RequestBootMode(std::uint32_t firmwareRate = 19200);
  // Bit-rate matching: 0x00 bytes at `rate` until the 0x00 answer, then 0x55/0xE6.
  void MatchBitRate(std::uint32_t rate = 19200);
  // From boot program start to the programming/erasure command wait, with the
  // new rate `bootRate`. Returns the reply to the state transition.
  std::uint8_t HandshakeToCommandWait(Cpu cpu, std::uint32_t bootRate = 115200);
  // BootProgInfo: {status, error}; empty when the reply is missing or wrong.
  Bytes StatusAndError();

  kv9::test::TempDir temp_;
  const std::filesystem::path dir_ = temp_.Path();
  std::unique_ptr<SimModule> sim_;
  std::unique_ptr<TestLine> line_;
};

}  // namespace kv9::sim::test
