#include <gtest/gtest.h>

#include "link/flash_wr_rx_cont.h"
#include "link/hex_trace.h"
#include "tests/support/recorders.h"

namespace kv9 {
namespace {

TEST(LogRule, UnforcedLinesOnlyWithDebugDisplay) {
  test::RecordingLogPane pane;
  AppendLogLine(&pane, false, "trace", 0);
  EXPECT_TRUE(pane.lines.empty());
  AppendLogLine(&pane, false, "always", 1);
  AppendLogLine(&pane, true, "trace", 0);
  AppendLogLine(&pane, false, "", 1);
  EXPECT_EQ(pane.lines, (std::vector<std::string>{"always", "trace", ""}));
}

TEST(LogRule, ThousandthLineStaysAndTheNextStartsAnEmptyPane) {
  test::RecordingLogPane pane;
  for (int i = 0; i < 1000; ++i) AppendLogLine(&pane, false, "line " + std::to_string(i), 1);
  EXPECT_EQ(pane.LineCount(), 1000);
  EXPECT_EQ(pane.clears, 0);
  AppendLogLine(&pane, false, "line 1000", 1);
  EXPECT_EQ(pane.lines, std::vector<std::string>{"line 1000"});
  // A hidden line does not count towards the limit and clears nothing.
  for (int i = 0; i < 998; ++i) AppendLogLine(&pane, false, "x", 1);
  AppendLogLine(&pane, false, "hidden", 0);
  EXPECT_EQ(pane.LineCount(), 999);
  EXPECT_EQ(pane.clears, 1);
}

TEST(LogRule, ControllerAddLogFollowsItsDebugSwitch) {
  test::RecordingLogPane pane;
  TFlashWrRXCont cont(nullptr, &pane, TProgSettings{});
  cont.AddLog("hidden", 0);
  cont.AddLog("shown", 1);
  cont.DebugLog = 1;
  cont.AddLog("trace", 0);
  EXPECT_EQ(pane.lines, (std::vector<std::string>{"shown", "trace"}));
}

TEST(HexTrace, TwoUpperCaseDigitsAndABlankPerByte) {
  const std::uint8_t bytes[] = {0x02, 0x00, 0x0D, 0xAB};
  EXPECT_EQ(HexTrace("TX: ", bytes, 3), "TX: 02 00 0D ");
  EXPECT_EQ(HexTrace("RX: ", bytes + 3, 1), "RX: AB ");
  EXPECT_EQ(HexTrace("TX: ", bytes, 0), "TX: ");
}

}  // namespace
}  // namespace kv9
