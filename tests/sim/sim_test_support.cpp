#include "sim_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "wire/boot_sum.h"
#include "wire/frame_sum.h"
#include "wire/termios2_linux.h"

namespace kv9::sim::test {

Bytes ModuleFrame(std::uint8_t code, const Bytes& data) {
  Bytes f{0x02, 0x00, code, static_cast<std::uint8_t>(data.size())};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  f.push_back(FrameSum(f.data(), f.size()));
  f.push_back(0x0D);
  return f;
}

Bytes ModuleReply(std::uint8_t status, const Bytes& data) {
  Bytes f = ModuleFrame(status, data);
  f[2] = status;
  f[f.size() - 2] = FrameSum(f.data(), f.size() - 2);
  return f;
}

Bytes BootFrame(std::uint8_t command, const Bytes& data) {
  Bytes f{command, static_cast<std::uint8_t>(data.size())};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(BootSum(f.data(), f.size()));
  return f;
}

Bytes BootReply(std::uint8_t code, const Bytes& data) { return BootFrame(code, data); }

Bytes ProgramFrame(std::uint32_t address, const Bytes& data) {
  Bytes f{0x50};
  const Bytes a = Be32(address);
  f.insert(f.end(), a.begin(), a.end());
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(BootSum(f.data(), f.size()));
  return f;
}

Bytes Be32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TestLine::TestLine(std::filesystem::path path, std::uint32_t rate) : path_(std::move(path)), rate_(rate) {
  Reopen();
}

void TestLine::SetRate(std::uint32_t rate) {
  rate_ = rate;
  kv9::posix::RawLine line;
  line.rate = rate;
  if (kv9::posix::ApplyRawLine(fd_.Get(), line) != 0) throw std::runtime_error("cannot set line");
}

void TestLine::Send(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_.Get(), bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{fd_.Get(), POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      throw std::runtime_error("write to the line failed");
    }
  }
}

Bytes TestLine::Read(std::size_t count, std::chrono::milliseconds timeout) {
  Bytes out;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd_.Get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    if (p.revents & (POLLHUP | POLLERR) && !(p.revents & POLLIN)) break;
    std::uint8_t buf[4096];
    const ssize_t n = ::read(fd_.Get(), buf, std::min(sizeof buf, count - out.size()));
    if (n > 0) {
      out.insert(out.end(), buf, buf + n);
    } else if (n == 0 || (n < 0 && errno != EAGAIN)) {
      break;
    }
  }
  return out;
}

Bytes TestLine::Exchange(const Bytes& bytes, std::size_t count, std::chrono::milliseconds timeout) {
  Discard();
  Send(bytes);
  return Read(count, timeout);
}

void TestLine::Discard() { ::tcflush(fd_.Get(), TCIFLUSH); }

void TestLine::Close() {
  if (!fd_.Valid()) return;
  Discard();
  fd_.Reset();
}

void TestLine::Reopen() {
  Close();
  fd_ = UniqueFd(::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
  if (!fd_.Valid()) throw std::runtime_error("cannot open " + path_.string());
  SetRate(rate_);
}

SimOptions SimTest::Options() const {
  SimOptions o;
  o.portDir = dir_ / "ports";
  o.resetDelay = 50ms;
  return o;
}

SimModule& SimTest::Start(SimOptions options) {
  sim_ = std::make_unique<SimModule>(std::move(options));
  sim_->Start();
  return *sim_;
}

TestLine& SimTest::Line(std::uint32_t rate) {
  if (!line_) line_ = std::make_unique<TestLine>(sim_->LinkPath(), rate);
  return *line_;
}

void SimTest::RequestBootMode(std::uint32_t firmwareRate) {
  TestLine& line = Line(firmwareRate);
  line.SetRate(firmwareRate);
  const Bytes ack = line.Exchange(ModuleFrame(0x4E, [] {
    Bytes d{0x9B};
    for (char c : std::string("583914207")) d.push_back(static_cast<std::uint8_t>(c));
    return d;
  }()), 8);
  ASSERT_EQ(ack, ModuleReply(0x30, {0x9B}));
  ASSERT_TRUE(sim_->WaitFor([](const SimSnapshot& s) { return s.personality == Personality::Boot; }, 2000ms));
  line.SetRate(19200);
}

void SimTest::MatchBitRate(std::uint32_t rate) {
  TestLine& line = Line();
  line.SetRate(rate);
  line.Discard();
  Bytes got;
  for (int i = 0; i < 30 && got.empty(); ++i) {
    line.Send({0x00});
    got = line.Read(1, 50ms);
  }
  ASSERT_EQ(got, Bytes{0x00});
  ASSERT_EQ(line.Exchange({0x55}, 1), Bytes{0xE6});
}

std::uint8_t SimTest::HandshakeToCommandWait(Cpu cpu, std::uint32_t bootRate) {
  TestLine& line = Line();
  MatchBitRate();
  const CpuProfile& p = ProfileFor(cpu);
  const Bytes code(p.deviceCode.begin(), p.deviceCode.end());
  EXPECT_EQ(line.Exchange(BootFrame(0x10, code), 1), Bytes{p.deviceSelectAck});
  std::uint16_t freq = 1356;
  std::uint8_t m1 = 4, m2 = 2;
  if (cpu == Cpu::RX231) {
    freq = 0;
    m1 = 2;
    m2 = 1;
  } else {
    const Bytes modes = line.Exchange({0x21}, 4);
    EXPECT_EQ(modes, BootReply(0x31, {0x00}));
    EXPECT_EQ(line.Exchange(BootFrame(0x11, {0x00}), 1), Bytes{0x06});
  }
  const std::uint16_t br = static_cast<std::uint16_t>(bootRate / 100);
  const Bytes rateFrame = BootFrame(0x3F, {static_cast<std::uint8_t>(br >> 8), static_cast<std::uint8_t>(br),
                                           static_cast<std::uint8_t>(freq >> 8), static_cast<std::uint8_t>(freq),
                                           0x02, m1, m2});
  EXPECT_EQ(line.Exchange(rateFrame, 1), Bytes{0x06});
  line.SetRate(bootRate);
  EXPECT_EQ(line.Exchange({0x06}, 1), Bytes{0x06});
  const Bytes t = line.Exchange({0x40}, 1);
  return t.size() == 1 ? t[0] : 0;
}

Bytes SimTest::StatusAndError() {
  const Bytes r = Line().Exchange({0x4F}, 5);
  if (r.size() != 5 || r[0] != 0x5F || r[1] != 2 || BootSum(r.data(), 4) != r[4]) return {};
  return {r[2], r[3]};
}

}  // namespace kv9::sim::test
