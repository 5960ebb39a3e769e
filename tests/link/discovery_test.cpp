// Discovery on real ptys: silent ports, the simulated module at one rate,
// the port dialog through a recording front end.
#include <gtest/gtest.h>

#include <fstream>

#include "link/flash_wr_rx_cont.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/recorders.h"
#include "tests/support/scripted_module.h"

namespace kv9 {
namespace {

using test::Bytes;
using Lines = std::vector<std::string>;

sim::SimOptions AtRate(std::uint32_t rate) {
  sim::SimOptions options;
  options.firmwareRate = rate;
  return options;
}

class DiscoveryTest : public ::testing::Test {
 protected:
  DiscoveryTest() : cont_(&ui_, &pane_, TProgSettings{}) {
    cont_.TxLog = cont_.RxLog = 0;
  }
  test::PortFolder folder_;
  test::RecordingUi ui_;
  test::RecordingLogPane pane_;
  TFlashWrRXCont cont_;
};

TEST_F(DiscoveryTest, ScanPortsFindsTheModuleAt38400OnTheSecondPortAfterSixTries) {
  test::PtyPort silent(1, folder_.Path());
  test::TracedSim sim(folder_, 2, AtRate(38400));
  cont_.DebugLog = 1;
  ASSERT_EQ(cont_.ScanPorts({"COM1", "COM2"}), 1);
  EXPECT_EQ(ui_.searchLabels,
            (Lines{"Check PORT:1 9600bps", "Check PORT:1 19.2kbps", "Check PORT:1 38.4kbps",
                   "Check PORT:1 115.2kbps", "Check PORT:2 9600bps", "Check PORT:2 19.2kbps",
                   "Check PORT:2 38.4kbps"}));
  EXPECT_EQ(ui_.events, (Lines{"progress:しばらくお待ちください|------- Check KV9 R/W ----------",
                               "progress closed"}));
  // The tries at the wrong rates reached the module only as noise.
  EXPECT_EQ(sim.Received(), (Lines{"02 00 4E 07 00 00 00 08 01 00 00 03 63 0D", "02 00 4F 02 90 00 03 E6 0D"}));
  const Lines tail(pane_.lines.end() - 4, pane_.lines.end());
  EXPECT_EQ(tail, (Lines{"ROM Version : V1.00.00 ", "Find KV9 R/W ", "PORT   : 2", "Speed  : 38400"}));
  EXPECT_EQ(std::count(pane_.lines.begin(), pane_.lines.end(), "Check PORT:1"), 1);
  EXPECT_EQ(std::count(pane_.lines.begin(), pane_.lines.end(), "Check PORT:2"), 1);
  ASSERT_EQ(ui_.copiedSettings.size(), 1u);
  EXPECT_EQ(ui_.copiedSettings[0].PortNumber, 2);
  EXPECT_EQ(ui_.copiedSettings[0].BitRate, 38400);
  EXPECT_EQ(cont_.Settings.PortNumber, 2);
  EXPECT_TRUE(cont_.CommX1.Connected());
  EXPECT_EQ(cont_.CommX1.EffectiveBaudRate(), 38400u);
}

TEST_F(DiscoveryTest, ScanSpeedsFindsA9600ModuleOnTheThirdTry) {
  test::TracedSim sim(folder_, 4, AtRate(9600));
  ASSERT_EQ(cont_.ScanSpeeds("COM4"), 1);
  EXPECT_EQ(ui_.searchLabels,
            (Lines{"Check PORT:4 19.2kbps", "Check PORT:4 38.4kbps", "Check PORT:4 9600bps"}));
  EXPECT_EQ(pane_.lines, (Lines{"ROM Version : V1.00.00 ", "Find KV9 R/W ", "PORT   : 4", "Speed  : 9600"}));
}

TEST_F(DiscoveryTest, ListEntryZeroIsTriedAsCom1) {
  test::TracedSim sim(folder_, 1);
  ASSERT_EQ(cont_.ScanPorts({"0"}), 1);
  EXPECT_EQ(ui_.searchLabels.front(), "Check PORT:1 9600bps");
  EXPECT_EQ(cont_.Settings.PortNumber, 1);
}

TEST_F(DiscoveryTest, AnEntryThatIsNotAPortNameEndsTheSearchWithoutAModule) {
  test::TracedSim sim(folder_, 2);
  EXPECT_EQ(cont_.ScanPorts({"COMx", "COM2"}), 0);
  EXPECT_TRUE(sim.Received().empty());
  EXPECT_EQ(ui_.events.back(), "progress closed");
}

TEST_F(DiscoveryTest, ListComPortsTakesThePortTable) {
  test::PtyPort a(10, folder_.Path());
  test::PtyPort b(2, folder_.Path());
  std::vector<std::string> list{"kept"};
  cont_.ListComPorts(list);
  ASSERT_GE(list.size(), 3u);
  EXPECT_EQ(list[0], "kept");
  EXPECT_NE(std::find(list.begin(), list.end(), "COM10"), list.end());
  EXPECT_NE(std::find(list.begin(), list.end(), "COM2"), list.end());
}

TEST_F(DiscoveryTest, PortOneIsPreselectedOverCom10AndCancelClosesTheWindow) {
  test::PtyPort a(10, folder_.Path());
  test::PtyPort b(1, folder_.Path());
  ui_.onPortDialog = [](const PortOpenDialogRequest&, std::int32_t&) { return PortOpenDialogResult{}; };
  EXPECT_EQ(cont_.OpenAtStartup(4), 0);
  ASSERT_EQ(ui_.dialogRequests.size(), 1u);
  const PortOpenDialogRequest& request = ui_.dialogRequests[0];
  EXPECT_EQ(request.caption, "シリアルポートのオープン");
  const auto com1 = std::find(request.ports.begin(), request.ports.end(), "COM1") - request.ports.begin();
  const auto com10 = std::find(request.ports.begin(), request.ports.end(), "COM10") - request.ports.begin();
  EXPECT_EQ(com10, com1 + 1);  // sorted as text: COM1, COM10
  EXPECT_EQ(request.selectedIndex, com1);
  EXPECT_EQ(request.comSpeedIndex, 1);
  EXPECT_EQ(request.writeSpeeds, (Lines{"9600bps", "19.2kbps", "38.4kbps", "115.2kbps"}));
  EXPECT_EQ(request.writeSpeedIndex, 4);
  EXPECT_TRUE(ui_.mainWindowClosed);
  EXPECT_FALSE(cont_.CommX1.Connected());
}

TEST_F(DiscoveryTest, ChosenPortIsScannedAndTheSupportedModelConfirmed) {
  test::TracedSim sim(folder_, 6);
  cont_.Settings.PortNumber = 6;
  const int found = cont_.OpenAtStartup(4);
  ASSERT_EQ(found, 1);
  EXPECT_EQ(cont_.ConfirmModule(found), 1);
  EXPECT_EQ(cont_.ModuleSupported, 1);
  EXPECT_TRUE(ui_.moduleErrors.empty());
  EXPECT_EQ(pane_.lines.back(), "Module : Q508     ");
}

TEST_F(DiscoveryTest, AutoCheckScansEveryListedPort) {
  test::PtyPort silent(1, folder_.Path());
  test::TracedSim sim(folder_, 3, AtRate(9600));
  ui_.onPortDialog = [](const PortOpenDialogRequest& r, std::int32_t&) {
    PortOpenDialogResult result;
    result.ok = true;
    result.selectedIndex = r.selectedIndex;
    result.selectedText = r.ports[static_cast<std::size_t>(r.selectedIndex)];
    result.autoCheck = true;
    return result;
  };
  EXPECT_EQ(cont_.OpenAtStartup(4), 1);
  EXPECT_EQ(cont_.Settings.PortNumber, 3);
  EXPECT_EQ(cont_.Settings.BitRate, 9600);
}

TEST_F(DiscoveryTest, UnsupportedModelIsRefusedWithTheErrorBox) {
  sim::SimOptions options;
  options.modelName = "Q509";
  test::TracedSim sim(folder_, 3, options);
  ASSERT_EQ(cont_.ScanSpeeds("COM3"), 1);
  EXPECT_EQ(cont_.ConfirmModule(1), 1);
  EXPECT_EQ(cont_.ModuleSupported, 0);
  const std::string text = "対応外のR/Wモジュールです。お使いのRW対応のツールをお使いください。";
  EXPECT_EQ(cont_.ModuleMessage, text);
  EXPECT_EQ(ui_.moduleErrors, Lines{text});
  EXPECT_FALSE(ui_.updateCommandsDisabled);
  cont_.ShowModuleMessage();  // what a later update command shows instead of starting
  EXPECT_EQ(ui_.moduleErrors.size(), 2u);
}

TEST_F(DiscoveryTest, NothingFoundGivesTheForcedLinesOnceAndDisablesTheUpdate) {
  EXPECT_EQ(cont_.ScanPorts({}), 0);
  EXPECT_EQ(cont_.ConfirmModule(0), 0);
  EXPECT_EQ(cont_.ModuleSupported, 0);
  EXPECT_TRUE(ui_.updateCommandsDisabled);
  EXPECT_EQ(cont_.ModuleMessage, "R/Wモジュールが見つかりませんでした。");
  // A module a failed update left in its boot program answers no search.
  EXPECT_EQ(pane_.lines, (Lines{"R/Wモジュールが見つかりませんでした。", "R/Wの接続を確認してください。",
                                "アップデートに失敗したR/Wは、ブートプログラムで待機していることがあります。"
                                "その場合は［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。"}));
}

TEST_F(DiscoveryTest, ReWriteModeOpensTheChosenPortWithoutASingleModuleFrame) {
  test::TracedSim sim(folder_, 7, AtRate(115200));
  cont_.Settings.PortNumber = 7;
  ui_.onPortDialog = [](const PortOpenDialogRequest& r, std::int32_t& reWriteMode) {
    reWriteMode = 1;  // ticked in the re-write settings dialog
    PortOpenDialogResult result;
    result.ok = true;
    result.selectedIndex = r.selectedIndex;
    result.selectedText = r.ports[static_cast<std::size_t>(r.selectedIndex)];
    result.comSpeedIndex = 3;
    return result;
  };
  cont_.OpenAtStartup(4);
  EXPECT_EQ(cont_.ConfirmModule(0), 1);
  EXPECT_EQ(cont_.ModuleSupported, 1);
  EXPECT_TRUE(cont_.ModuleMessage.empty());
  EXPECT_TRUE(cont_.CommX1.Connected());
  EXPECT_EQ(cont_.CommX1.EffectiveBaudRate(), 115200u);
  ASSERT_EQ(ui_.copiedSettings.size(), 1u);
  EXPECT_EQ(ui_.copiedSettings[0].BitRate, 115200);
  EXPECT_EQ(pane_.lines.front(), "再書き込みモードで、ファームのアップデートを実行します。");
  EXPECT_TRUE(sim.Trace().empty());
}

TEST_F(DiscoveryTest, ReWriteModeWithNoPortToOpenEndsWithoutAModule) {
  ui_.onPortDialog = [](const PortOpenDialogRequest& r, std::int32_t& reWriteMode) {
    EXPECT_TRUE(r.ports.empty());
    reWriteMode = 1;
    PortOpenDialogResult result;
    result.ok = true;
    return result;
  };
  EXPECT_EQ(cont_.OpenAtStartup(4), 0);
  EXPECT_FALSE(cont_.CommX1.Connected());
  EXPECT_EQ(cont_.ConfirmModule(0), 0);
  EXPECT_EQ(cont_.ModuleSupported, 0);
  EXPECT_TRUE(ui_.updateCommandsDisabled);
}

TEST_F(DiscoveryTest, ManualChoiceWithAnEmptyListOpensNothing) {
  EXPECT_EQ(cont_.OpenAtStartup(4), 0);
  EXPECT_FALSE(cont_.CommX1.Connected());
  EXPECT_TRUE(ui_.searchLabels.empty());
}

TEST_F(DiscoveryTest, ModelNameIsQ508WithOnlyBlanksOrZerosAfterIt) {
  test::PtyPort port(5, folder_.Path());
  Bytes name;
  test::ScriptedModule peer(port, [&](const Bytes&) {
    Bytes data(1 + name.size(), 0x93);
    std::copy(name.begin(), name.end(), data.begin() + 1);
    return test::ReplyFrame(0x30, data);
  });
  ASSERT_EQ(cont_.OpenPort(5), 1);
  cont_.CommX1.SetBaudRate(br19200);
  auto check = [&](const std::string& text) {
    peer.WithScript([&] {
      name.assign(text.begin(), text.end());
      name.resize(9, 0);
    });
    return cont_.IsSupportedModel(0);
  };
  EXPECT_EQ(check("Q508     "), 1);
  EXPECT_EQ(check("Q508"), 1);  // shorter, zero after the four characters
  EXPECT_EQ(check("Q508    X"), 0);
  EXPECT_EQ(check("Q509     "), 0);
  // A name of zero characters would compare nothing: it is refused.
  EXPECT_EQ(check(""), 0);
}

}  // namespace
}  // namespace kv9
