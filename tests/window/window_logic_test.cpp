// The window's behaviour without a toolkit: the pieces that decide alone,
// without the module (the Qt suites drive the rest against the simulator).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "image/loader_texts.h"
#include "window/boot_menu_commands.h"
#include "window/image_open.h"
#include "window/menu_rows.h"
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

TEST(MenuRowsTest, EveryItemOnceWithItsHandlerAndTheFileMenuInItsOrder) {
  std::set<std::string> names;
  std::vector<std::string> file;
  std::size_t bootRows = 0;
  for (const MenuItemRow& row : AllItems()) {
    EXPECT_TRUE(names.insert(row.objectName).second) << row.objectName;
    EXPECT_NE(row.run, nullptr) << row.objectName;
    EXPECT_EQ(ItemNamed(row.objectName), static_cast<ItemId>(&row - AllItems().data()));
    if (row.menu == MenuId::File) file.push_back(row.objectName);
    if (row.boot && std::string(row.objectName) != "MnIDCheck") ++bootRows;
  }
  EXPECT_EQ(file, (std::vector<std::string>{"MnOpenRom", "MnSearchAgain", "MnFileEepromRestore", "MnFileEepromRollBack", "MnFactoryFinish",
                                            "FileExitItem"}));
  EXPECT_EQ(bootRows, BootMenuCommands().size());  // the command table's every row
  EXPECT_EQ(ItemNamed("nothing"), -1);
  // The update command follows the guard; 書込 only the idle rule, and
  // ending the tool is always offered (the close rules refuse it during a run).
  EXPECT_EQ(AllItems()[ItemNamed("TB_Write")].rule, EnableRule::Update);
  EXPECT_EQ(AllItems()[ItemNamed("N2")].rule, EnableRule::Update);
  EXPECT_EQ(MenuRowOf(MenuId::Farm).rule, EnableRule::Update);
  EXPECT_EQ(AllItems()[ItemNamed("MnProgram")].rule, EnableRule::Idle);
  EXPECT_EQ(AllItems()[ItemNamed("FileExitItem")].rule, EnableRule::Always);
  EXPECT_STREQ(AllItems()[ItemNamed("MnProgram")].shortcut, "F9");
  EXPECT_STREQ(AllItems()[ItemNamed("MnClear")].shortcut, "F4");
  EXPECT_STREQ(AllItems()[ItemNamed("N2")].shortcut, "Ctrl+U");
  EXPECT_TRUE(AllItems()[ItemNamed("MnFwBackup")].checkable);
}

}  // namespace
}  // namespace kv9::window
