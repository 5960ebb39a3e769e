// The pure pieces of kv9flash's output: module text escaping, the command
// that continues a run, the closing table and the progress line.
#include "cli/run_report.h"

#include <gtest/gtest.h>

#include "cli/console.h"
#include "cli/terminal_ui.h"

namespace kv9::cli {
namespace {

TEST(EscapeText, ControlBytesAndBrokenUtf8BecomeHexButTextPasses) {
  EXPECT_EQ(EscapeText("V1.00.00 "), "V1.00.00 ");
  EXPECT_EQ(EscapeText("書込設定   : OK"), "書込設定   : OK");
  EXPECT_EQ(EscapeText("V\x1b[2J\x07\x7f"), "V\\x1B[2J\\x07\\x7F");
  // A lone continuation byte, a truncated sequence, an over-long form and a C1 control.
  EXPECT_EQ(EscapeText("\x80"
                       "A\xE6\x9B"
                       "B\xC0\xAF\xC2\x9B"),
            "\\x80A\\xE6\\x9BB\\xC0\\xAF\\xC2\\x9B");
}

TEST(ContinueCommand, FollowsTheModulesStateAndRepeatsTheSettings) {
  auto parsed = ParseCommandLine({"--port", "COM3", "--image", "new fw.mot", "--cpu", "RX630",
                                  "--rom-size", "384K", "--boot-rate", "57600", "--no-init"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const CliOptions& o = *parsed.options;
  EXPECT_EQ(ContinueCommand(o, "COM3", 38400, NextStep::ReWrite),
            "kv9flash --port COM3 --rewrite --speed 38400 --image 'new fw.mot' --cpu RX630 "
            "--rom-size 384K "
            "--boot-rate 57600 --no-init update");
  EXPECT_EQ(ContinueCommand(o, "COM3", 38400, NextStep::Update),
            "kv9flash --port COM3 --image 'new fw.mot' --cpu RX630 --rom-size 384K --boot-rate "
            "57600 --no-init update");
  const CliOptions defaults = *ParseCommandLine({}).options;
  EXPECT_EQ(ContinueCommand(defaults, "COM7", 19200, NextStep::ReWrite),
            "kv9flash --port COM7 --rewrite --speed 19200 update");
  // Once the firmware is in, only the factory-setting step is left.
  EXPECT_EQ(ContinueCommand(o, "COM3", 38400, NextStep::Restore), "kv9flash --port COM3 restore");
  EXPECT_EQ(ContinueCommand(o, "COM3", 38400, NextStep::RestoreFromBackup, "/d/eeprom 1.txt"),
            "kv9flash --port COM3 restore --from '/d/eeprom 1.txt'");
  // The scan mode of the step and the person's word for another module's file go on.
  const CliOptions scan = *ParseCommandLine({"--scan-mode", "restore", "--from", "/d/e.txt", "--other-module"}).options;
  EXPECT_EQ(ContinueCommand(scan, "COM3", 19200, NextStep::RestoreFromBackup, "/d/e.txt", true),
            "kv9flash --port COM3 --scan-mode restore --from /d/e.txt --other-module");
  EXPECT_EQ(ContinueCommand(o, "COM3", 19200, NextStep::RollBack, "/d/e.txt"),
            "kv9flash --port COM3 restore --roll-back /d/e.txt");
  EXPECT_EQ(ContinueCommand(o, "COM3", 38400, NextStep::None), "");
  EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
}

TEST(PortTable, RowsComeFromTheChildrensReportsAndStartWithThePort) {
  PortRow ok = ParseRowReport("COM3\tQ508     \tV1.00.00 \tV2.00.00 \tOK");
  ok.seconds = 12.34;
  PortRow failed = ParseRowReport("COM4\tQ508     \tV1.00.00 \t\tNG");
  failed.seconds = 5;
  const PortRow broken = ParseRowReport("garbage");
  EXPECT_EQ(broken.outcome, "NG");
  EXPECT_EQ(ParseRowReport(RowReportLine(ok)).romAfter, "V2.00.00 ");
  EXPECT_EQ(PortTable({ok, failed}),
            "port     module     before     after      result time\n"
            "COM3     Q508       V1.00.00   V2.00.00   OK     12.3 s\n"
            "COM4     Q508       V1.00.00   -          NG     5.0 s\n");
}

TEST(ProgressText, BarPercentBytesAndRate) {
  EXPECT_EQ(ProgressText("イレース中...", 50, -1, 1.0),
            "イレース中... [##########----------]  50%");
  EXPECT_EQ(ProgressText("ライト中...", 100, 102400, 2.0),
            "ライト中... [####################] 100%  102400 bytes  50.0 KB/s");
  EXPECT_EQ(ProgressText("書込設定中...", -1, -1, 0), "書込設定中...");
}

}  // namespace
}  // namespace kv9::cli
