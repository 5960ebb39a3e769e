// What the line does: rates that disagree, the tool closing and reopening
// its port, the port link, and the kv9sim program itself.
#include "sim_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <fstream>
#include <sstream>

namespace kv9::sim::test {
namespace {

const Bytes kRomVersionQuery{0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D};
const Bytes kRomVersionReply = ModuleReply(0x30, {0x90, 'V', '1', '.', '0', '0', '.', '0', '0', ' '});

class LineBehaviour : public SimTest {};

TEST_F(LineBehaviour, SilentAtAWrongRateAndAnswersAtTheRightOne) {
  SimModule& sim = Start();
  TestLine& line = Line(9600);
  EXPECT_TRUE(line.Exchange(kRomVersionQuery, 1, 300ms).empty());
  EXPECT_TRUE(sim.WaitFor([](const SimSnapshot& s) { return s.noiseBytes == 9; }, 1000ms));
  line.SetRate(38400);
  EXPECT_TRUE(line.Exchange(kRomVersionQuery, 1, 300ms).empty());
  // The dropped frames were not kept: at the right rate exactly one reply comes.
  line.SetRate(19200);
  EXPECT_EQ(line.Exchange(kRomVersionQuery, 17), kRomVersionReply);
  EXPECT_TRUE(line.Read(1, 100ms).empty());
  const SimSnapshot s = sim.Snapshot();
  EXPECT_EQ(s.commandCounts.at("fw:4F:90"), 1u);
  EXPECT_EQ(s.ratesSeen, (std::set<std::uint32_t>{9600, 19200, 38400}));
}

// A UART has one rate: the module goes by the speed the tool's side sends
// at, so a client that sets it with glibc's cfsetspeed + tcsetattr is heard
// and answered even when an earlier termios2 user left another input speed.
TEST_F(LineBehaviour, PlainTcsetattrClientIsHeardAndAnswered) {
  Start(Options());
  {
    // Published with one speed: no separate input speed bits.
    const int fd = ::open(sim_->LinkPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(t.c_cflag & CIBAUD, 0u);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
    ::close(fd);
  }
  TestLine& line = Line(9600);  // termios2: both speeds 9600, input speed kept in CIBAUD
  termios t{};
  ASSERT_EQ(::tcgetattr(line.Fd(), &t), 0);
  ASSERT_EQ(::cfsetspeed(&t, B19200), 0);
  ASSERT_EQ(::tcsetattr(line.Fd(), TCSANOW, &t), 0);
  EXPECT_EQ(line.Exchange(kRomVersionQuery, 17), kRomVersionReply);
  EXPECT_EQ(sim_->Snapshot().bytesLost, 0u);
}

TEST_F(LineBehaviour, NewRateConfirmationAtTheOldRateIsNoise) {
  SimOptions o = Options();
  o.startIn = StartIn::Boot;
  Start(o);
  ASSERT_NO_FATAL_FAILURE(MatchBitRate());
  ASSERT_EQ(Line().Exchange(BootFrame(0x10, Text("8a02")), 1), Bytes{0x46});
  ASSERT_EQ(Line().Exchange(BootFrame(0x3F, {0x04, 0x80, 0x00, 0x00, 0x02, 0x02, 0x01}), 1), Bytes{0x06});
  // A tool that forgot to switch its port gets nothing back.
  EXPECT_TRUE(Line().Exchange({0x06}, 1, 300ms).empty());
  Line().SetRate(115200);
  EXPECT_EQ(Line().Exchange({0x06}, 1), Bytes{0x06});
}

TEST_F(LineBehaviour, KeepsServingAcrossFiftyCloseAndReopenCycles) {
  SimModule& sim = Start();
  TestLine& line = Line();
  for (int i = 0; i < 50; ++i) {
    line.Reopen();
    ASSERT_EQ(line.Exchange(kRomVersionQuery, 17), kRomVersionReply) << "cycle " << i;
  }
  line.Close();
  EXPECT_EQ(sim.Snapshot().commandCounts.at("fw:4F:90"), 50u);
  EXPECT_EQ(sim.Snapshot().bytesLost, 0u);
}

// Holds the module's thread where it has taken a frame in and not yet
// answered it, until the test opens the gate.
struct FrameGate {
  std::mutex m;
  std::condition_variable cv;
  bool frameIn = false, open = false;
};

TEST_F(LineBehaviour, RepliesToAClosedPortAreLostNotDeliveredLater) {
  SimOptions o = Options();
  o.pace = true;
  o.trace = true;
  auto gate = std::make_shared<FrameGate>();
  sim_ = std::make_unique<SimModule>(o);
  sim_->SetTraceSink([gate](const std::string& line) {
    if (line.rfind("kv9sim: RX @", 0) != 0) return;
    std::unique_lock lock(gate->m);
    gate->frameIn = true;
    gate->cv.notify_all();
    gate->cv.wait_for(lock, 10s, [&] { return gate->open; });
  });
  sim_->Start();
  TestLine& line = Line();
  line.Send(kRomVersionQuery);
  {
    std::unique_lock lock(gate->m);
    ASSERT_TRUE(gate->cv.wait_for(lock, 10s, [&] { return gate->frameIn; }));
  }
  // The reply goes to a closed port however slowly either side runs.
  line.Close();
  {
    std::lock_guard lock(gate->m);
    gate->open = true;
  }
  gate->cv.notify_all();
  ASSERT_TRUE(sim_->WaitFor([](const SimSnapshot& s) { return s.bytesLost == 17; }, 10000ms));
  line.Reopen();
  EXPECT_EQ(line.Exchange(kRomVersionQuery, 17), kRomVersionReply);
}

TEST_F(LineBehaviour, PacedRepliesStillArriveWhole) {
  SimOptions o = Options();
  o.pace = true;
  o.firmwareRate = 115200;
  Start(o);
  EXPECT_EQ(Line(115200).Exchange(kRomVersionQuery, 17), kRomVersionReply);
}

TEST_F(LineBehaviour, LinkIsPublishedAndRemoved) {
  SimOptions o = Options();
  o.comNumber = 12;
  SimModule& sim = Start(o);
  EXPECT_EQ(sim.PortName(), "COM12");
  EXPECT_EQ(sim.LinkPath(), dir_ / "ports" / "COM12");
  EXPECT_EQ(std::filesystem::read_symlink(sim.LinkPath()).string(), sim.SlavePath());
  // A second module cannot take the same number, but gets the lowest free one.
  SimOptions same = Options();
  same.comNumber = 12;
  SimModule other(same);
  EXPECT_THROW(other.Start(), std::runtime_error);
  SimModule next(Options());
  next.Start();
  EXPECT_EQ(next.PortName(), "COM1");
  next.Stop();
  sim.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir_ / "ports" / "COM12")));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir_ / "ports" / "COM1")));
}

TEST_F(LineBehaviour, ProgramPrintsOneReadyLineServesAndCleansUpOnSigterm) {
  const auto ports = dir_ / "ports";
  const auto dump = dir_ / "dump";
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    ::setenv("KV9_PORT_DIR", ports.c_str(), 1);
    ::execl(KV9SIM_PROGRAM, "kv9sim", "--com", "5", "--dump", dump.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  FILE* f = ::fdopen(out[0], "r");
  char buf[256] = {};
  ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
  const std::string ready = buf;
  EXPECT_EQ(ready.rfind("kv9sim: ready on COM5 (/dev/pts/", 0), 0u) << ready;
  {
    TestLine line(ports / "COM5", 19200);
    EXPECT_EQ(line.Exchange(kRomVersionQuery, 17), kRomVersionReply);
  }
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // Exactly one line on stdout.
  EXPECT_EQ(std::fgets(buf, sizeof buf, f), nullptr);
  std::fclose(f);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(ports / "COM5")));
  std::ifstream json(dump / "summary.json");
  std::stringstream text;
  text << json.rdbuf();
  EXPECT_NE(text.str().find("\"fw:4F:90\": 1"), std::string::npos) << text.str();
}

}  // namespace
}  // namespace kv9::sim::test
