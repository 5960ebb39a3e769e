#pragma once
// A pseudo-terminal published as a COM port: the test holds the master side
// (the "module"), the tool opens the slave by its COM name through the port
// table (a PortFolder).
#include <string>
#include <vector>
#include <cstdint>
#include <memory>

#include "tests/support/port_folder.h"

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
  int MasterFd() const { return master_; }
  // Writes bytes as the module would send them.
  void Send(const std::vector<std::uint8_t>& bytes);
  // Reads what the tool sent until `count` bytes came or `ms` passed.
  std::vector<std::uint8_t> Receive(std::size_t count, int ms = 2000);
  // Everything the tool sent within `ms` (reads until quiet for that long).
  std::vector<std::uint8_t> Drain(int ms = 50);
  // The bit rate the tool set on the slave.
  std::uint32_t SlaveRate() const;
  // Closes the master, as an unplugged adapter would vanish.
  void Unplug();

 private:
  int number_;
  int master_ = -1;
  std::string dir_;
  std::unique_ptr<PortFolder> folder_;  // when the port has a folder of its own
};

}  // namespace kv9::test
