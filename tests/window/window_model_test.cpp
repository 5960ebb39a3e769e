// The window model against the simulated module over a real pty, drawn by a
// recording view: what both windows do, tested once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "kv9_version.h"
#include "link/flash_wr_rx_cont.h"
#include "tests/support/port_folder.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/window/recording_view.h"
#include "window/broken_off_run.h"
#include "window/window_model.h"
#include "window/window_texts.h"

namespace kv9::window {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.path().extension() == extension) files.push_back(entry.path());
  }
  return files;
}

class WindowModelTest : public ::testing::Test {
 protected:
  test::TempDir data_;
  test::ScopedEnv dataHome_{"XDG_DATA_HOME", data_.Path().string()};
  test::PortFolder folder_;
  std::unique_ptr<test::TracedSim> sim_;
  test::RecordingView view_;
  std::unique_ptr<WindowModel> model_;

  void StartSim(sim::SimOptions options = {}) {
    sim_.reset();
    sim_ = std::make_unique<test::TracedSim>(folder_, 3, options);
  }
  void StartModel() {
    model_ = std::make_unique<WindowModel>(view_);
    view_.model = model_.get();
    model_->Settings().InitAfterUpdate = 0;  // the write alone unless a case asks for more
    model_->Start();
  }
  fs::path Logs() const { return data_.Path() / "kv9update" / "logs"; }
};

TEST_F(WindowModelTest, CancelInTheStartUpPortDialogEndsTheTool) {
  StartSim();
  StartModel();
  view_.cancelPortDialog = true;
  model_->Shown();
  EXPECT_EQ(view_.portDialogs, 1);
  EXPECT_TRUE(view_.closed);
  EXPECT_EQ(model_->Controller(), nullptr);  // the port with it
  EXPECT_TRUE(view_.boxes.empty());
  EXPECT_TRUE(sim_->Received().empty());
}

TEST_F(WindowModelTest, CancelInTheSecondSearchKeepsTheWindowAndTheVerdict) {
  StartSim();
  StartModel();
  model_->Shown();
  ASSERT_TRUE(view_.Enabled("TB_Write"));
  view_.cancelPortDialog = true;
  model_->RunNamed("MnSearchAgain");
  EXPECT_FALSE(view_.closed);
  EXPECT_NE(model_->Controller(), nullptr);
  EXPECT_TRUE(view_.Enabled("TB_Write"));
  EXPECT_TRUE(view_.Enabled("MnSearchAgain"));
}

TEST_F(WindowModelTest, ItemsFollowTheirRulesDuringAndAfterTheSearch) {
  StartSim();
  StartModel();
  // Before the start-up search has given its verdict: no update.
  EXPECT_FALSE(view_.Enabled("TB_Write"));
  EXPECT_FALSE(view_.Enabled("N2"));
  EXPECT_FALSE(view_.menus[MenuId::Farm]);
  std::map<std::string, bool> during;
  view_.duringPortDialog = [&] {
    for (const char* name : {"MnOpenRom", "MnSearchAgain", "MnFileEepromRestore", "MnFileEepromRollBack", "MnFactoryFinish", "FileExitItem",
                             "MnProgram", "TB_Write", "MnClear", "HelpAboutItem", "MnCmdCheck", "Rom1"})
      during[name] = view_.Enabled(name);
    // A close during the search is refused and says why.
    EXPECT_FALSE(model_->CloseAsked());
    EXPECT_EQ(view_.status, kRefusedDuringSearch);
  };
  model_->Shown();
  EXPECT_EQ(during, (std::map<std::string, bool>{{"MnOpenRom", false}, {"MnSearchAgain", false},
                                                 {"MnFileEepromRestore", false}, {"MnFileEepromRollBack", false},
                                                 {"MnFactoryFinish", false},
                                                 {"FileExitItem", true}, {"MnProgram", false}, {"TB_Write", false},
                                                 {"MnClear", true}, {"HelpAboutItem", true}, {"MnCmdCheck", false},
                                                 {"Rom1", false}}));
  for (const char* name : {"MnOpenRom", "MnSearchAgain", "MnProgram", "TB_Write", "N2", "MnFwBackup", "MnCmdCheck"})
    EXPECT_TRUE(view_.Enabled(name)) << name;
  EXPECT_TRUE(view_.menus[MenuId::Farm]);
  EXPECT_EQ(view_.caption, std::string(kCaption) + kCaptionModel);
  EXPECT_TRUE(model_->CloseAsked());
}

TEST_F(WindowModelTest, AfterAnNgTheUpdateCommandSendsNothingUntilASearchFindsTheModule) {
  sim::SimOptions refusing;
  refusing.faults.rules.push_back({});
  refusing.faults.rules.back().kind = sim::FaultRule::Kind::ErrorReply;
  refusing.faults.rules.back().site.side = sim::FaultSite::Side::Boot;
  refusing.faults.rules.back().site.code = 0x50;
  refusing.faults.rules.back().site.occurrence = 5;
  refusing.faults.rules.back().errorCode = 0x53;
  StartSim(refusing);
  StartModel();
  model_->Shown();
  model_->RunNamed("TB_Write");
  EXPECT_EQ(model_->LastResult(), "NG");
  EXPECT_EQ(view_.progress, "kept");
  // The tool button, アップデート and the firmware menu are off; 書込 (F9)
  // and the tool button's command send nothing, in both windows alike.
  EXPECT_FALSE(view_.Enabled("TB_Write"));
  EXPECT_FALSE(view_.Enabled("N2"));
  EXPECT_FALSE(view_.menus[MenuId::Farm]);
  EXPECT_TRUE(view_.Enabled("MnProgram"));
  const std::size_t frames = sim_->Received().size();
  model_->RunNamed("MnProgram");
  model_->TB_WriteClick();
  model_->RunNamed("N2");
  EXPECT_EQ(sim_->Received().size(), frames);
  EXPECT_EQ(view_.status, kSearchAgainFirst);
  // A power cycle (a new module in its boot program) and a second search
  // in re-write mode: the update runs again.
  sim::SimOptions boot;
  boot.startIn = sim::StartIn::Boot;
  StartSim(boot);
  view_.reWriteInDialog = true;
  model_->RunNamed("MnSearchAgain");
  EXPECT_TRUE(view_.reWriteShown);
  EXPECT_TRUE(view_.Enabled("TB_Write"));
  EXPECT_TRUE(view_.menus[MenuId::Farm]);
  model_->RunNamed("MnProgram");
  EXPECT_EQ(model_->LastResult(), "OK");
  EXPECT_TRUE(view_.boxes.empty()) << view_.boxes.front();
}

TEST_F(WindowModelTest, ASecondSearchAfterTheModuleVanishedMidWriteOpensThePortAfreshAndUpdates) {
  sim::SimOptions vanishing;
  vanishing.faults.disconnectAtBlock = 30;
  StartSim(vanishing);
  StartModel();
  model_->Shown();
  model_->RunNamed("TB_Write");
  EXPECT_EQ(model_->LastResult(), "NG");
  // The module is gone with its port: the advice sends the technician to
  // the cable and to the second search.
  EXPECT_TRUE(view_.Logged(kPortVanished));
  ASSERT_FALSE(view_.advice.empty());
  EXPECT_EQ(view_.advice.back(), kPortVanished);
  sim_.reset();
  view_.boxes.clear();
  // Plugged in again: a module in its boot program on the same COM name.
  sim::SimOptions boot;
  boot.startIn = sim::StartIn::Boot;
  StartSim(boot);
  view_.reWriteInDialog = true;
  model_->RunNamed("MnSearchAgain");
  EXPECT_TRUE(view_.boxes.empty()) << view_.boxes.front();
  ASSERT_TRUE(view_.Enabled("TB_Write"));
  model_->RunNamed("TB_Write");
  EXPECT_EQ(model_->LastResult(), "OK");
  EXPECT_TRUE(view_.boxes.empty()) << view_.boxes.front();
  EXPECT_TRUE(model_->CloseAsked());
}

TEST_F(WindowModelTest, TheBackupItemCopiesTheFirmwareFirstAndTheRunLeavesItsJsonBesideItsRecord) {
  StartSim();
  StartModel();
  model_->Shown();
  EXPECT_FALSE(view_.checks[ItemNamed("MnFwBackup")]);
  model_->RunNamed("MnFwBackup");
  EXPECT_TRUE(model_->Settings().FirmwareBackup);
  EXPECT_TRUE(view_.checks[ItemNamed("MnFwBackup")]);
  model_->RunNamed("TB_Write");
  ASSERT_EQ(model_->LastResult(), "OK");
  const std::vector<fs::path> records = FilesIn(Logs(), ".log");
  const std::vector<fs::path> reports = FilesIn(Logs(), ".json");
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(records[0].stem(), reports[0].stem());
  EXPECT_EQ(model_->LastReportPath(), reports[0].string());
  const std::string record = test::FileText(records[0]);
  EXPECT_NE(record.find("  # settings: port COM3, module rate 19200"), std::string::npos) << record;
  EXPECT_NE(record.find(", firmware backup\n"), std::string::npos) << record;
  EXPECT_NE(record.find("  # outcome: OK (ok, stage done"), std::string::npos) << record;
  const std::string json = test::FileText(reports[0]);
  EXPECT_EQ(json.rfind("{\"port\":\"COM3\",\"outcome\":\"ok\",\"exit\":0,\"stage\":\"done\",", 0), 0u) << json;
  EXPECT_NE(json.find("\"module\":\"Q508\""), std::string::npos) << json;
  // The window's report is schema 2 like kv9flash's, naming its program and
  // the built-in image.
  EXPECT_NE(json.find(",\"schema\":2,\"run_id\":\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"tool\":{\"program\":\"kv9update\",\"version\":\"" KV9_PRODUCT_VERSION "\"}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"image\":{\"source\":\"built-in\",\"sha256\":\""), std::string::npos) << json;
  EXPECT_EQ(json.back(), '\n');
  // The copy of the module's firmware is where the report says.
  const std::size_t at = json.find("\"firmware_backup\":\"");
  ASSERT_NE(at, std::string::npos) << json;
  const std::size_t from = at + 19;
  const fs::path backup = json.substr(from, json.find('"', from) - from);
  EXPECT_TRUE(fs::exists(backup)) << backup;
  EXPECT_EQ(backup.extension(), ".mot");
  EXPECT_EQ(test::FileText(backup).rfind("S0", 0), 0u);  // an S-record file of what the module held
  // No marker of a broken-off run after one that ended.
  EXPECT_FALSE(fs::exists(BrokenOffRunPath()));
}

TEST_F(WindowModelTest, TheNextStartNamesARunThatWasBrokenOff) {
  ASSERT_TRUE(RememberBrokenOffRun({"/data/kv9update/logs/kv9update-1.log", {"advice one", "advice two"}}));
  StartSim();
  StartModel();
  model_->Shown();
  ASSERT_GE(view_.pane.lines.size(), 3u);
  EXPECT_EQ(view_.pane.lines[0], std::string(kBrokenOffRun) + "/data/kv9update/logs/kv9update-1.log");
  EXPECT_EQ(view_.pane.lines[1], "advice one");
  EXPECT_EQ(view_.pane.lines[2], "advice two");
  EXPECT_FALSE(fs::exists(BrokenOffRunPath()));  // said once
}

TEST_F(WindowModelTest, TheEepromBackupItemsAfterAnUpdateOpenThePortThemselves) {
  StartSim();
  StartModel();
  model_->Settings().InitAfterUpdate = 1;
  model_->Shown();
  model_->RunNamed("TB_Write");
  ASSERT_EQ(model_->LastResult(), "OK");
  const std::vector<fs::path> copies = FilesIn(data_.Path() / "kv9update" / "eeprom", ".txt");
  ASSERT_FALSE(copies.empty());
  EXPECT_FALSE(model_->Controller()->CommX1.Connected());  // the update closed it
  view_.fileToOpen = copies[0].string();
  view_.pane.lines.clear();
  model_->RunNamed("MnFileEepromRollBack");
  EXPECT_EQ(view_.fileDialogTitles.back(), "EEPROMのロールバック...");
  EXPECT_TRUE(view_.Logged("Open COM3 : OK"));
  EXPECT_TRUE(view_.Logged("FLASH DATA : OK"));
  // The module's own copy: nothing to ask.
  EXPECT_TRUE(view_.questions.empty());
  view_.pane.lines.clear();
  model_->Controller()->ClosePort();
  model_->RunNamed("MnFileEepromRestore");
  EXPECT_EQ(view_.fileDialogTitles.back(), "EEPROMバックアップから工場出荷時設定...");
  EXPECT_TRUE(view_.Logged("Open COM3 : OK"));
  EXPECT_TRUE(view_.Logged("FLASH DATA : OK"));
  view_.pane.lines.clear();
  model_->Controller()->ClosePort();
  model_->RunNamed("MnFactoryFinish");
  EXPECT_TRUE(view_.Logged("Open COM3 : OK"));
  EXPECT_TRUE(view_.Logged(" : OK"));
  EXPECT_TRUE(view_.boxes.empty()) << view_.boxes.front();
}

TEST_F(WindowModelTest, AFactoryStepLeftUndoneIsNamedByTheAdviceAndFinishedFromTheFileMenu) {
  // The write and its check succeed; the new firmware does not answer its
  // first ROM version query, so the factory settings were not restored.
  const sim::SimOptions options = test::SimOptionsFrom({"--no-reply", "fw:90/2"});
  StartSim(options);
  StartModel();
  model_->Settings().InitAfterUpdate = 1;
  model_->Shown();
  model_->RunNamed("TB_Write");
  ASSERT_EQ(model_->LastResult(), "NG");
  ASSERT_FALSE(view_.advice.empty());
  EXPECT_EQ(view_.advice.back(), kFactoryFinishPlace);
  EXPECT_TRUE(view_.Logged(kFactoryFinishPlace));
  EXPECT_FALSE(view_.Logged(kPortVanished));  // the port is still there
  auto initCount = [this] {
    const auto counts = (*sim_)->Snapshot().commandCounts;
    const auto at = counts.find("fw:4E:71");
    return at == counts.end() ? 0u : at->second;
  };
  const unsigned inits = initCount();
  view_.pane.lines.clear();
  model_->RunNamed("MnFactoryFinish");
  EXPECT_TRUE(view_.Logged("Open COM3 : OK"));
  EXPECT_TRUE(view_.Logged(" : OK"));
  EXPECT_EQ(initCount(), inits + 1);  // the initialisation ran once, now
  EXPECT_TRUE(view_.boxes.empty()) << view_.boxes.front();
}

}  // namespace
}  // namespace kv9::window
