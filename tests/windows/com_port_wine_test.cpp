// The Win32 backend on a real port: the simulated module on a pty that Wine
// serves as a COM port (scripts/test-windows.sh starts it and names the port
// in KV9_TEST_PORT). Without that port the suite fails; it is not skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/message_pump.h"
#include "serial/com_error.h"
#include "serial/com_port.h"

namespace kv9 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string TestPort() {
  const char* name = std::getenv("KV9_TEST_PORT");
  return name ? name : "";
}

// Pumps messages until `want` bytes came through OnRxChar or 3 s passed.
Bytes Receive(TComPort& port, std::size_t want) {
  Bytes got;
  port.OnRxChar = [&got](TCustomComPort& sender, int count) {
    ASSERT_GT(count, 0);
    Bytes chunk(static_cast<std::size_t>(count));
    chunk.resize(static_cast<std::size_t>(sender.Read(chunk.data(), count)));
    got.insert(got.end(), chunk.begin(), chunk.end());
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (got.size() < want && std::chrono::steady_clock::now() < deadline) WaitMessages(10);
  port.OnRxChar = nullptr;
  return got;
}

class Win32PortOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(TestPort().empty()) << "KV9_TEST_PORT names no port";
    port_.SetPort(TestPort());
    port_.SetBaudRate(br19200);
  }
  TComPort port_;
};

TEST_F(Win32PortOnWine, AFrameAndItsReplyCrossTheEventThreadExactly) {
  // Reopened a few times: every opening starts a fresh event thread and an
  // empty queue, and the module's answer arrives whole each time.
  const Bytes romVersionRequest = {0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D};
  const Bytes reply = {0x02, 0x00, 0x30, 0x0A, 0x90, 0x56, 0x31, 0x2E, 0x30,
                       0x30, 0x2E, 0x30, 0x30, 0x20, 0x03, 0x92, 0x0D};
  for (int round = 0; round < 3; ++round) {
    port_.Open();
    ASSERT_TRUE(port_.Connected());
    EXPECT_EQ(port_.Write(romVersionRequest.data(), static_cast<int>(romVersionRequest.size())),
              static_cast<int>(romVersionRequest.size()));
    EXPECT_EQ(Receive(port_, reply.size()), reply) << "round " << round;
    port_.Close();
    EXPECT_FALSE(port_.Connected());
  }
}

TEST_F(Win32PortOnWine, APortThisProgramHoldsCannotBeOpenedAgain) {
  port_.Open();
  TComPort second;
  second.SetPort(TestPort());
  try {
    second.Open();
    ADD_FAILURE() << "a held port opened twice";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, 1);
    EXPECT_GT(e.WinCode, 0);
    EXPECT_FALSE(e.SystemText.empty());
  }
  EXPECT_FALSE(second.Connected());
  port_.Close();
  EXPECT_NO_THROW(second.Open());  // let go, it is free again
  second.Close();
}

}  // namespace
}  // namespace kv9
