// The window's behaviour without a toolkit: the pieces that decide alone,
// without the module (the Qt suites drive the rest against the simulator).
#include <gtest/gtest.h>

#include "image/loader_texts.h"
#include "window/image_open.h"
#include "record/run_record.h"
#include "window/run_watch.h"
#include "window/update_command_guard.h"
#include "window/window_texts.h"

namespace kv9::window {
namespace {

TEST(UpdateCommandGuardTest, FollowsTheLastSearchAndLocksUntilTheNext) {
  UpdateCommandGuard guard;
  EXPECT_FALSE(guard.Enabled());  // during the start-up search
  guard.SearchEnded(false);
  EXPECT_FALSE(guard.Enabled());
  guard.SearchStarted();
  guard.SearchEnded(true);
  EXPECT_TRUE(guard.Enabled());
  guard.RunStarted();
  EXPECT_FALSE(guard.Enabled());
  guard.Lock();  // a failed run
  guard.RunEnded();
  EXPECT_FALSE(guard.Enabled());
  guard.SearchStarted();
  EXPECT_FALSE(guard.Enabled());
  guard.SearchCancelled();  // the port dialog cancelled: still locked
  EXPECT_FALSE(guard.Enabled());
  guard.SearchStarted();
  guard.SearchEnded(true);
  EXPECT_TRUE(guard.Enabled());
}

TEST(RunWatchTest, AFailureKeepsItsAdviceAndTheStagesLastPercent) {
  RunWatch watch;
  watch.Start();
  watch.StageTitle("イレース");
  watch.Gauge(100);
  watch.StageTitle("ライト");
  watch.Gauge(37);
  watch.ResultShown(false);
  watch.Gauge(0);  // the closing's reset
  EXPECT_EQ(watch.LinesAfterAdvice(3), std::vector<std::string>{kReWriteBoxPlace});
  EXPECT_TRUE(watch.LinesAfterAdvice(1).empty());
  UpdateReport report;
  report.stage = "write";
  report.adviceLines = {"advice"};
  const RunEndView view = watch.End(report, false);
  EXPECT_TRUE(view.keepProgressWindow);
  EXPECT_EQ(view.adviceLines, std::vector<std::string>{"advice"});
  EXPECT_EQ(view.stageTitle, "ライト");
  EXPECT_EQ(view.percent, 37);
  report.stage = "handshake";  // a stage without a gauge shows none
  EXPECT_EQ(watch.End(report, false).percent, 0);
}

TEST(RunWatchTest, ASuccessClosesAndNamesTheBackupUnlessTheDebugLineDid) {
  RunWatch watch;
  watch.Start();
  watch.ResultShown(true);
  UpdateReport report;
  report.outcome = UpdateOutcome::Ok;
  report.stage = "done";
  report.eepromBackup = "/d/eeprom-1.txt";
  const RunEndView view = watch.End(report, false);
  EXPECT_FALSE(view.keepProgressWindow);
  EXPECT_TRUE(view.adviceLines.empty());
  EXPECT_EQ(view.stageTitle, "");
  EXPECT_EQ(view.percent, 0);
  EXPECT_EQ(view.logLines, std::vector<std::string>{"EEPROM BACKUP : /d/eeprom-1.txt"});
  EXPECT_TRUE(watch.End(report, true).logLines.empty());
  report.outcome = UpdateOutcome::Refused;
  report.stage = "start";
  EXPECT_EQ(watch.End(report, false).stageTitle, "");
}

TEST(ImageOpenTest, TakesHexAndMotInAnyCaseOnly) {
  EXPECT_EQ(ImageFileProblem("/a/fw.MOT"), "");
  EXPECT_EQ(ImageFileProblem("C:\\a\\fw.hex"), "");
  EXPECT_EQ(ImageFileProblem("/a/fw.bin"), kUnknownExtensionText);
  EXPECT_EQ(ImageFileProblem("/a.hex/fw"), kUnknownExtensionText);
  EXPECT_EQ(LoadedImageLine("/a/fw.mot", 512, 0x1A2B, ""),
            "ROMデータ : /a/fw.mot  書込 512バイト  CRC 0x1A2B  バージョン なし");
}

TEST(RunLogFileTest, RecordLinesSplitAndEscapeLikeKv9flash) {
  EXPECT_EQ(record::RecordLines("T", "# ", "a\nb\x01"), "T  # a\nT  # b\\x01\n");
  EXPECT_EQ(record::RecordLines("T", "", ""), "T  \n");
}

}  // namespace
}  // namespace kv9::window
