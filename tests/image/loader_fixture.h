#pragma once
// A controller with recording front ends and a scratch directory, and
// builders for well-formed records so each test can state the one thing it
// breaks.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "link/flash_wr_rx_cont.h"
#include "tests/support/recorders.h"

namespace kv9::test {

// "S2"/"S3" + count + address + data + checksum, upper-case hex. `count`
// and `checksum` replace the right values when given (>= 0).
std::string SRecordText(int kind, std::uint32_t address, const std::vector<std::uint8_t>& data,
                        int count = -1, int checksum = -1);
// ":" + n + address + type + data + checksum.
std::string IntelHexText(int type, std::uint16_t address, const std::vector<std::uint8_t>& data,
                         int checksum = -1);
std::string IntelHexSegment(std::uint16_t segment, int checksum = -1);

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed);
std::string CrcText(std::uint16_t crc);  // "CRC: " + 4 upper-case digits

class LoaderTest : public ::testing::Test {
 protected:
  LoaderTest();
  ~LoaderTest() override;

  // Writes lines (LF-terminated) or raw bytes into the scratch directory.
  std::string WriteLines(const std::string& name, const std::vector<std::string>& lines);
  std::string WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes);
  // Runs a shell command; fails the test with its text when it fails.
  void Run(const std::string& command);

  std::vector<std::uint8_t> Buffer() const;
  bool BufferIsAll(std::uint8_t value) const;
  // Loads the embedded image so that "unchanged" and "filled" can be told apart.
  void LoadEmbedded();

  std::filesystem::path dir_;
  RecordingUi ui_;
  RecordingLogPane pane_;
  TFlashWrRXCont cont_;
};

}  // namespace kv9::test
