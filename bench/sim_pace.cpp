// sim_pace: how closely kv9sim's line pacing follows 10 bit times per byte,
// and what it costs in CPU. Runs the simulated module in-process with pacing
// on, brings its boot program to 115200 bit/s, then times
//   - a 256 KB memory read (module -> tool, paced writes),
//   - programming 1024 blocks of 256 bytes (tool -> module, paced reception),
// and an idle spell. Exit status 1 when the byte time is off by more than
// 2 % or the module's thread uses 5 % of a core or more.
//
//   sim_pace [--kb N]     (default 256)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "wire/boot_sum.h"
#include "wire/termios2_linux.h"
#include "sim/sim_module.h"
#include "wire/unique_fd.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kRate = 115200;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

class Line {
 public:
  explicit Line(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    if (!fd_.Valid()) throw std::runtime_error("cannot open " + path.string());
    SetRate(19200);
  }
  void SetRate(std::uint32_t rate) {
    kv9::posix::RawLine l;
    l.rate = rate;
    kv9::posix::ApplyRawLine(fd_.Get(), l);
  }
  void Send(const Bytes& b) {
    std::size_t done = 0;
    while (done < b.size()) {
      const ssize_t n = ::write(fd_.Get(), b.data() + done, b.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else {
        pollfd p{fd_.Get(), POLLOUT, 0};
        ::poll(&p, 1, 100);
      }
    }
  }
  Bytes Read(std::size_t count, int timeoutMs) {
    Bytes out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::uint8_t> buf(65536);
    while (out.size() < count && Clock::now() < deadline) {
      pollfd p{fd_.Get(), POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = ::read(fd_.Get(), buf.data(), std::min(buf.size(), count - out.size()));
      if (n > 0) out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return out;
  }
  // Writes `b` as fast as the pty takes it while collecting `count` reply bytes.
  Bytes Stream(const Bytes& b, std::size_t count, int timeoutMs) {
    Bytes in;
    std::size_t sent = 0;
    std::vector<std::uint8_t> buf(4096);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((in.size() < count || sent < b.size()) && Clock::now() < deadline) {
      pollfd p{fd_.Get(), static_cast<short>(POLLIN | (sent < b.size() ? POLLOUT : 0)), 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      if ((p.revents & POLLOUT) && sent < b.size()) {
        const ssize_t n = ::write(fd_.Get(), b.data() + sent, b.size() - sent);
        if (n > 0) sent += static_cast<std::size_t>(n);
      }
      if (p.revents & POLLIN) {
        const ssize_t n = ::read(fd_.Get(), buf.data(), buf.size());
        if (n > 0) in.insert(in.end(), buf.begin(), buf.begin() + n);
      }
    }
    return in;
  }
  Bytes Exchange(const Bytes& b, std::size_t count, int timeoutMs = 2000) {
    ::tcflush(fd_.Get(), TCIFLUSH);
    Send(b);
    return Read(count, timeoutMs);
  }

 private:
  kv9::UniqueFd fd_;
};

Bytes Frame(std::uint8_t cmd, Bytes data) {
  Bytes f{cmd, static_cast<std::uint8_t>(data.size())};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(kv9::BootSum(f.data(), f.size()));
  return f;
}

void Expect(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("handshake failed at ") + what);
}

void Handshake(Line& line) {
  Bytes got;
  for (int i = 0; i < 30 && got.empty(); ++i) {
    line.Send({0x00});
    got = line.Read(1, 50);
  }
  Expect(got == Bytes{0x00}, "bit-rate matching");
  Expect(line.Exchange({0x55}, 1) == Bytes{0xE6}, "0x55");
  Expect(line.Exchange(Frame(0x10, {'8', 'a', '0', '2'}), 1) == Bytes{0x46}, "device selection");
  Expect(line.Exchange(Frame(0x3F, {0x04, 0x80, 0x00, 0x00, 0x02, 0x02, 0x01}), 1) == Bytes{0x06}, "new bit rate");
  line.SetRate(kRate);
  Expect(line.Exchange({0x06}, 1) == Bytes{0x06}, "confirmation");
  Expect(line.Exchange({0x40}, 1) == Bytes{0x06}, "state transition");
}

struct Result {
  const char* name;
  double bytes;
  double wall;
  double cpu;  // the module's thread
};

double ModuleCpu(const kv9::sim::SimModule& sim) {
  return std::chrono::duration<double>(sim.ThreadCpuTime()).count();
}

bool Report(const Result& r) {
  const double nominal = r.bytes * 10.0 / kRate;
  const double error = (r.wall - nominal) / nominal * 100.0;
  const double cpu = r.cpu / r.wall * 100.0;
  std::printf("%-10s %8.0f bytes  nominal %8.3f s  measured %8.3f s  error %+6.2f %%  cpu %5.2f %% of a core\n",
              r.name, r.bytes, nominal, r.wall, error, cpu);
  return std::fabs(error) <= 2.0 && cpu < 5.0;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned kb = 256;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--kb") == 0) kb = static_cast<unsigned>(std::atoi(argv[++i]));
  }
  kb = std::max(1u, std::min(kb, 256u));
  char tmpl[] = "/tmp/kv9-sim-pace-XXXXXX";
  if (!::mkdtemp(tmpl)) return 2;
  const std::filesystem::path dir = tmpl;

  bool ok = true;
  try {
    kv9::sim::SimOptions o;
    o.portDir = dir;
    o.pace = true;
    o.startIn = kv9::sim::StartIn::Boot;
    kv9::sim::SimModule sim(o);
    sim.Start();
    Line line(sim.LinkPath());
    Handshake(line);

    // Idle: the module waits on poll with nothing to do.
    {
      const double c0 = ModuleCpu(sim);
      const auto t0 = Clock::now();
      ::usleep(3'000'000);
      const double wall = Seconds(Clock::now() - t0);
      const double cpu = (ModuleCpu(sim) - c0) / wall * 100.0;
      std::printf("idle       3 s                                                        cpu %5.2f %% of a core\n", cpu);
      ok = ok && cpu < 5.0;
    }

    // Module -> tool: one memory read of the whole area.
    {
      const std::uint32_t size = kb * 1024;
      const std::uint32_t address = 0xFFFFFFFF - size + 1;
      const Bytes req = Frame(0x52, {0x01, static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
                                     static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
                                     static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                                     static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
      const double c0 = ModuleCpu(sim);
      const auto t0 = Clock::now();
      const Bytes reply = line.Exchange(req, size + 6, 60000);
      const Result r{"read", static_cast<double>(req.size() + reply.size()), Seconds(Clock::now() - t0),
                     ModuleCpu(sim) - c0};
      if (reply.size() != size + 6) throw std::runtime_error("memory read incomplete");
      ok = Report(r) && ok;
    }

    // Tool -> module: erase, then program. The frames are streamed back to
    // back (the module acknowledges each as it completes), so the figure is
    // the module's reception pacing, not the turnaround of this program.
    {
      Expect(line.Exchange({0x48}, 1) == Bytes{0x06}, "erase selection");
      for (std::uint32_t a = 0xFFFFF800; a >= 0xFFFC0000; a -= 0x800) {
        Expect(line.Exchange(Frame(0x59, {static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
                                          static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a)}),
                             1) == Bytes{0x06},
               "erase");
      }
      Expect(line.Exchange(Frame(0x59, {0xFF, 0xFF, 0xFF, 0xFF}), 1) == Bytes{0x06}, "erase end");
      Expect(line.Exchange({0x43}, 1) == Bytes{0x06}, "area selection");
      const unsigned blocks = kb * 4;
      Bytes stream;
      for (unsigned i = 0; i < blocks; ++i) {
        const std::uint32_t a = 0xFFFC0000 + i * 256;
        Bytes f{0x50, static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
                static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a)};
        for (int k = 0; k < 256; ++k) f.push_back(static_cast<std::uint8_t>(i + k));
        f.push_back(kv9::BootSum(f.data(), f.size()));
        stream.insert(stream.end(), f.begin(), f.end());
      }
      const double c0 = ModuleCpu(sim);
      const auto t0 = Clock::now();
      const Bytes acks = line.Stream(stream, blocks, 120000);
      const double wall = Seconds(Clock::now() - t0);
      if (acks != Bytes(blocks, 0x06)) throw std::runtime_error("programming refused");
      // The last acknowledgement follows the last frame: one more byte time.
      ok = Report({"program", static_cast<double>(stream.size() + 1), wall, ModuleCpu(sim) - c0}) && ok;
    }
    sim.Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sim_pace: %s\n", e.what());
    ok = false;
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::printf("%s\n", ok ? "sim_pace: within 2 % and under 5 % of a core" : "sim_pace: OUT OF BOUNDS");
  return ok ? 0 : 1;
}
