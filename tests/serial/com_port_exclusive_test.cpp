// Exclusive use of the port against other programs that do not lock: a
// terminal program or `cat` opens a device with a plain open(), and then
// reads the module's replies away from the tool. The other program here is a
// forked child process. TIOCEXCL does not stop root, so when the suite runs
// as root the child that tries to open the held port first becomes `nobody`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "serial/com_error.h"
#include "serial/com_port.h"
#include "tests/support/pty_port.h"
#include "wire/unique_fd.h"
#include "tests/serial/open_error.h"

namespace kv9 {
namespace {

using test::PortFolder;
using test::PtyPort;

constexpr uid_t kNobody = 65534;

// Another program with a plain open() of a device (no flock, no TIOCEXCL),
// holding it until the object goes away.
class OtherProgram {
 public:
  OtherProgram(const std::string& path, bool asNobody) {
    int result[2];
    int release[2];
    if (::pipe(result) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      // Nothing of the test's descriptors (the port's own among them) stays
      // open in here: only what this program opens itself.
      for (int fd = 3; fd < 1024; ++fd) {
        if (fd != result[1] && fd != release[0]) ::close(fd);
      }
      int err = 0;
      if (asNobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) err = -1;
      if (err == 0) err = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) >= 0 ? 0 : errno;
      [[maybe_unused]] auto w = ::write(result[1], &err, sizeof err);
      char c;
      [[maybe_unused]] auto r = ::read(release[0], &c, 1);  // until the test lets go
      ::_exit(0);
    }
    ::close(result[1]);
    ::close(release[0]);
    release_ = UniqueFd(release[1]);
    if (::read(result[0], &openErrno_, sizeof openErrno_) != sizeof openErrno_) openErrno_ = -2;
    ::close(result[0]);
  }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;
  ~OtherProgram() {
    release_.Reset();  // lets the child end
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }

  // 0 when its open() succeeded, else the errno (-1: could not drop root).
  int OpenErrno() const { return openErrno_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  UniqueFd release_;
  int openErrno_ = -2;
};

// The holder is named as the program names itself (its argv[0]'s last
// part), which this suite's and its forked holder's is: "kv9_serial_tests",
// longer than the 15 bytes of the kernel's command name.
std::string CommandNameOf(pid_t) { return program_invocation_short_name; }

class SerialExclusive : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetPort("COM211");
    // The child that tries the plain open may run as nobody.
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
  }
  // Whether another program can open the device with a plain open() right now.
  int OtherProgramsOpen() const {
    OtherProgram other(pty.SlavePath(), ::geteuid() == 0);
    return other.OpenErrno();
  }

  PortFolder dir;
  PtyPort& pty = dir.AddPty(211);
  TComPort port;
};

TEST_F(SerialExclusive, APlainHolderWithoutALockMakesOpenFailWithCodeOneAndIsNamed) {
  {
    OtherProgram holder(pty.SlavePath(), false);
    ASSERT_EQ(holder.OpenErrno(), 0);
    const EComPort e = OpenError(port);
    EXPECT_EQ(e.Code, 1);
    EXPECT_EQ(e.WinCode, EBUSY);
    EXPECT_EQ(std::string(e.what()),
              "Unable to open com port (Error: " + std::to_string(EBUSY) + ")");
    EXPECT_EQ(e.Holder,
              CommandNameOf(holder.Pid()) + " (PID " + std::to_string(holder.Pid()) + ")");
    EXPECT_FALSE(port.Connected());
  }
  // The failed opening left no exclusive mark behind: once the holder is gone
  // the port opens, and another program is refused only while it is open.
  ASSERT_NO_THROW(port.Open());
  port.Close();
  EXPECT_EQ(OtherProgramsOpen(), 0);
}

TEST_F(SerialExclusive, WhileOpenAnotherProgramsPlainOpenFails) {
  ASSERT_EQ(OtherProgramsOpen(), 0);  // it can open the device at all
  port.Open();
  EXPECT_EQ(OtherProgramsOpen(), EBUSY);
  // A locking opener learns who holds it.
  TComPort second;
  second.SetPort("COM211");
  const EComPort e = OpenError(second);
  EXPECT_EQ(e.WinCode, EWOULDBLOCK);
  EXPECT_EQ(e.Holder, CommandNameOf(::getpid()) + " (PID " + std::to_string(::getpid()) + ")");
  // Closing lets go completely: the mark does not outlive the descriptor.
  port.Close();
  EXPECT_EQ(OtherProgramsOpen(), 0);
}

TEST_F(SerialExclusive, AHoldKeepsThePortAcrossCloseAndReopenAtAnotherRate) {
  // Without a hold the gap between close and reopen is open to anyone.
  port.Open();
  port.Close();
  ASSERT_EQ(OtherProgramsOpen(), 0);

  {
    TComPortHold hold(port);
    port.SetBaudRate(br115200);
    port.Open();
    pty.SendText("stale");
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(OtherProgramsOpen(), EBUSY);
    TComPort locking;
    locking.SetPort("COM211");
    EXPECT_EQ(OpenError(locking).Code, 1);

    port.SetBaudRate(br19200);
    ASSERT_NO_THROW(port.Open());
    EXPECT_EQ(pty.LineRate(), 19200u);
    EXPECT_EQ(port.InputCount(), 0);  // the close still discarded what waited
    ASSERT_EQ(port.Write("go", 2), 2);
    EXPECT_EQ(pty.ReceiveText(2), "go");
    port.Close();
    EXPECT_EQ(OtherProgramsOpen(), EBUSY);
  }
  // The hold ended with the port closed: the device is free again.
  EXPECT_EQ(OtherProgramsOpen(), 0);
}

TEST_F(SerialExclusive, AHoldLetsThePortGoWhenAnotherPortIsOpened) {
  PtyPort& second = dir.AddPty(212);
  TComPortHold hold(port);
  port.Open();
  port.Close();
  port.SetPort("COM212");
  port.Open();
  ASSERT_EQ(port.Write("2", 1), 1);
  EXPECT_EQ(second.ReceiveText(1), "2");
  EXPECT_EQ(OtherProgramsOpen(), 0);  // the first port is no longer kept
}

}  // namespace
}  // namespace kv9
