#pragma once
// A pseudo-terminal published as a COM port: the test holds the master side
// (the "module"), the component under test opens the slave by its COM name
// through the port table (a PortFolder).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/port_folder.h"
#include "wire/unique_fd.h"

namespace kv9::test {

class PtyPort {
 public:
  // Publishes the slave as COM<number> in a port folder of its own.
  explicit PtyPort(int number);
  // Publishes the slave as COM<number> in an existing folder, leaving the
  // environment alone (for several ports in one folder).
  PtyPort(int number, const std::string& dir);
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  std::string Name() const { return "COM" + std::to_string(number_); }
  std::string Dir() const { return dir_; }
  const std::string& SlavePath() const { return slave_; }
  int MasterFd() const { return master_.Get(); }
  // Writes bytes as the module would send them; throws when the line takes
  // nothing for 2 s or the write fails.
  void Send(const std::vector<std::uint8_t>& bytes);
  void SendText(const std::string& text) {
    Send(std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  // Reads what the tool sent until `count` bytes came or `ms` passed
  // (fewer when the time ran out); a closed slave is waited for.
  std::vector<std::uint8_t> Receive(std::size_t count, int ms = 2000);
  std::string ReceiveText(std::size_t count, int ms = 2000);
  // Everything the tool sent within `ms` (reads until quiet for that long).
  std::vector<std::uint8_t> Drain(int ms = 50);
  // The bit rate the tool set on the slave (its output speed).
  std::uint32_t SlaveRate() const;
  // The one rate of the line as the module sees it; throws when it cannot be
  // read or the input speed differs from the output speed.
  std::uint32_t LineRate() const;
  // Closes the master, as an unplugged adapter would vanish: the slave sees
  // a hang-up from now on.
  void Unplug() { master_.Reset(); }

 private:
  int number_;
  UniqueFd master_;
  std::string slave_;
  std::string dir_;
  std::unique_ptr<PortFolder> folder_;  // when the port has a folder of its own
};

}  // namespace kv9::test
