// Module command frames against the simulated module and a scripted peer.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/flash_wr_rx_cont.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/recorders.h"
#include "tests/support/scripted_module.h"

namespace kv9 {
namespace {

using test::Bytes;

class ModuleCommandsTest : public ::testing::Test {
 protected:
  void Open(TFlashWrRXCont& cont, unsigned com) {
    ASSERT_EQ(cont.OpenPort(static_cast<std::uint8_t>(com)), 1);
    cont.CommX1.SetBaudRate(br19200);
  }
  test::PortFolder folder_;
  test::RecordingUi ui_;
  test::RecordingLogPane pane_;
};

TEST_F(ModuleCommandsTest, RomVersionAndModelNameFromTheModule) {
  test::TracedSim sim(folder_, 3);
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  cont.TxLog = 0;
  cont.RxLog = 0;
  Open(cont, 3);
  ASSERT_EQ(cont.ReadRomVersion(1), 1);
  EXPECT_STREQ(cont.RomVersion.data(), "V1.00.00 ");
  ASSERT_EQ(cont.ReadModelName(1), 1);
  EXPECT_STREQ(cont.ModelName.data(), "Q508     ");
  EXPECT_EQ(pane_.lines, (std::vector<std::string>{"ROM Version : V1.00.00 ", "Module : Q508     "}));
  EXPECT_EQ(sim.Received(), (std::vector<std::string>{"02 00 4F 02 90 00 03 E6 0D", "02 00 4F 01 93 03 E8 0D"}));
}

TEST_F(ModuleCommandsTest, TitleAndBareHexLinesWhileTxLogIsSet) {
  test::TracedSim sim(folder_, 3);
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  cont.RxLog = 0;
  Open(cont, 3);
  ASSERT_EQ(cont.ReadRomVersion(0), 1);  // only the forced hex line: the title is a trace line
  EXPECT_EQ(pane_.lines, (std::vector<std::string>{"02 00 4F 02 90 00 03 E6 0D "}));
  pane_.lines.clear();
  cont.DebugLog = 1;
  ASSERT_EQ(cont.ReadRomVersion(0), 1);
  EXPECT_EQ(pane_.lines, (std::vector<std::string>{"ＲＯＭのバージョン情報", "02 00 4F 02 90 00 03 E6 0D ",
                                                  "TX: 02 00 4F 02 90 00 03 E6 0D "}));
  cont.DebugLog = 0;
  pane_.lines.clear();
  cont.DebugLog = 1;
  ASSERT_EQ(cont.TxOnOffCmd(1), 1);
  ASSERT_EQ(cont.TxOnOffCmd(0), 1);
  EXPECT_EQ(pane_.lines, (std::vector<std::string>{"TXON_OFF_CMD: ", "02 00 4E 02 9E 01 03 F4 0D ",
                                                  "TX: 02 00 4E 02 9E 01 03 F4 0D ", "TXON_OFF_CMD: ",
                                                  "02 00 4E 02 9E 00 03 F3 0D ",
                                                  "TX: 02 00 4E 02 9E 00 03 F3 0D "}));
}

TEST_F(ModuleCommandsTest, CheckLinkSendsTheOperationModeFrameThenTheRomQuery) {
  test::TracedSim sim(folder_, 3);
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  Open(cont, 3);
  EXPECT_EQ(cont.CheckLink(), 1);
  EXPECT_EQ(sim.Received(), (std::vector<std::string>{"02 00 4E 07 00 00 00 08 01 00 00 03 63 0D",
                                                      "02 00 4F 02 90 00 03 E6 0D"}));
  EXPECT_EQ(pane_.lines.back(), "ROM Version : V1.00.00 ");
}

TEST_F(ModuleCommandsTest, ModuleRefusingTheOperationModeTwiceIsNotRecognised) {
  sim::SimOptions options;
  sim::FaultRule refuse;
  refuse.kind = sim::FaultRule::Kind::ErrorReply;
  refuse.errorCode = 0x31;
  refuse.site.side = sim::FaultSite::Side::Firmware;
  refuse.site.frameCode = 0x4E;
  refuse.site.code = 0x00;
  options.faults.rules.push_back(refuse);
  test::TracedSim sim(folder_, 3, options);
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  Open(cont, 3);
  EXPECT_EQ(cont.CheckLink(), 0);
  const auto frames = sim.Received();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], frames[1]);
  EXPECT_EQ(frames[0], "02 00 4E 07 00 00 00 08 01 00 00 03 63 0D");
}

TEST_F(ModuleCommandsTest, CheckLinkOnAClosedPortSendsNothing) {
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  EXPECT_EQ(cont.CheckLink(), 0);
}

TEST_F(ModuleCommandsTest, SixteenByteRomReplyIsATimeOutAndKeepsTheOldVersion) {
  test::PtyPort port(5, folder_.Path());
  test::ScriptedModule peer(port, [](const Bytes& frame) {
    if (frame[4] != 0x90) return Bytes{};
    Bytes reply = test::ReplyFrame(0x30, {0x90, 'V', '9', '.', '9', '9', '.', '9', '9', ' '});
    reply.pop_back();  // one byte short, then silence
    return reply;
  });
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  cont.DebugLog = 1;
  cont.TxLog = cont.RxLog = 0;
  std::copy_n("OLDVERSN", 9, cont.RomVersion.begin());
  Open(cont, 5);
  EXPECT_EQ(cont.ReadRomVersion(1), 0);
  EXPECT_STREQ(cont.RomVersion.data(), "OLDVERSN");
  EXPECT_EQ(pane_.lines, std::vector<std::string>{"Time Over(10)"});
}

TEST_F(ModuleCommandsTest, RefusedRomReplyIsStillTakenButALongerNameIsNoReply) {
  test::PtyPort port(5, folder_.Path());
  test::ScriptedModule peer(port, [](const Bytes& frame) {
    if (frame[4] == 0x90) return test::ReplyFrame(0x31, {0x90, 'V', '3', '.', '0', '0', '.', '0', '0', 'X'});
    return test::ReplyFrame(0x30, {0x93, 'Q', '5', '0', '8', 'A', 'B', 'C', 'D', 'E', 'F'});  // ten characters
  });
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  cont.DebugLog = 1;
  cont.TxLog = cont.RxLog = 0;
  std::copy_n("OLDNAME  ", 10, cont.ModelName.begin());
  Open(cont, 5);
  EXPECT_EQ(cont.ReadRomVersion(0), 1);
  EXPECT_STREQ(cont.RomVersion.data(), "V3.00.00X");
  // Its 17 awaited bytes are not a whole frame (LEN says 11): as no reply,
  // asked for three times in all.
  EXPECT_EQ(cont.ReadModelName(1), 0);
  EXPECT_STREQ(cont.ModelName.data(), "OLDNAME  ");
  const std::string rejected = "Reply rejected: LEN at byte 3 is 0B, expected 0A";
  EXPECT_EQ(pane_.lines, (std::vector<std::string>{rejected, "Asked again (2 of 3): 機種名（ModelName）の取得", rejected,
                                                  "Asked again (3 of 3): 機種名（ModelName）の取得", rejected}));
}

// A peer whose every reply carries a sum one too high (a bit error on the
// line): read-only queries are asked three times in all, with a trace line
// for each new try; a frame that changes something is sent once.
TEST_F(ModuleCommandsTest, OnlyReadOnlyQueriesAreAskedAgainWhenTheirReplyIsSpoilt) {
  test::PtyPort port(5, folder_.Path());
  test::ScriptedModule peer(port, [](const Bytes& frame) {
    const std::uint8_t sub = frame[4];
    Bytes reply;
    if (sub == 0x90) reply = test::ReplyFrame(0x30, {0x90, 'V', '1', '.', '0', '0', '.', '0', '0', ' '});
    if (sub == 0x93) reply = test::ReplyFrame(0x30, {0x93, 'Q', '5', '0', '8', ' ', ' ', ' ', ' ', ' '});
    if (sub == 0x83 && frame[2] == 0x4F) {
      Bytes data{0x83, frame[6], frame[7]};
      data.resize(3 + 2 * static_cast<std::size_t>(frame[7]), 0x11);
      reply = test::ReplyFrame(0x30, data);
    }
    if (sub == 0x83 && frame[2] == 0x4E) reply = test::ReplyFrame(0x30, {0x83});
    if (sub == 0x71) reply = test::ReplyFrame(0x30, {0x71});
    if (sub == 0x9B) reply = test::ReplyFrame(0x30, {0x9B});
    if (sub == 0x9E) reply = test::ReplyFrame(0x30, {0x9E, frame[5]});
    if (reply.empty()) reply = test::ReplyFrame(0x30, {});  // the operation mode
    ++reply[reply.size() - 2];
    return reply;
  });
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  cont.DebugLog = 1;
  cont.TxLog = cont.RxLog = 0;
  Open(cont, 5);
  std::uint8_t words[8] = {};
  EXPECT_EQ(cont.ReadRomVersion(0), 0);
  EXPECT_EQ(cont.ReadModelName(0), 0);
  EXPECT_EQ(cont.EepromRead(254, 1, 4, words), 0);
  const std::size_t queries = peer.Frames().size();
  EXPECT_EQ(queries, 9u);
  EXPECT_EQ(std::count(pane_.lines.begin(), pane_.lines.end(), "Asked again (2 of 3): ＲＯＭのバージョン情報"), 1);
  EXPECT_EQ(std::count(pane_.lines.begin(), pane_.lines.end(), "Asked again (3 of 3): ＲＯＭのバージョン情報"), 1);
  EXPECT_EQ(std::count(pane_.lines.begin(), pane_.lines.end(), "Asked again (3 of 3): Read Factory Init Data RX: "), 1);

  pane_.lines.clear();
  EXPECT_EQ(cont.EepromWrite(255, 1, 4, words), 0);
  EXPECT_EQ(cont.EepromInit(0), 0);
  EXPECT_EQ(cont.DousaModeSet(0, 0, 0, 0, 8), 0);
  EXPECT_EQ(cont.TxOnOffCmd(1), 0);
  cont.CommX1.SetBaudRate(br19200);
  cont.SetProgMode();
  const std::vector<Bytes> frames = peer.Frames();
  ASSERT_EQ(frames.size(), queries + 5);
  // The EEPROM write, the initialisation, the operation mode (its flag byte
  // first), the transmitter switch, the boot-mode request.
  const std::uint8_t subs[] = {0x83, 0x71, 0x00, 0x9E, 0x9B};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(frames[queries + i][4], subs[i]) << i;
  for (const std::string& line : pane_.lines) EXPECT_EQ(line.rfind("Asked again", 0), std::string::npos) << line;
}

TEST_F(ModuleCommandsTest, PassThroughDeliversTheReplyFromItsLenByte) {
  test::PtyPort port(5, folder_.Path());
  const Bytes answer = test::ReplyFrame(0x30, {0x84, 0x00, 0xF3, 0x00, 0x2C, 0x01, 0x01, 0x00});
  test::ScriptedModule peer(port, [&](const Bytes&) { return answer; });
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  Open(cont, 5);
  const std::uint8_t data[] = {0x84, 0x00};
  std::uint8_t reply[32] = {};
  int length = 15;
  ASSERT_EQ(cont.PassThroughCmd(0x4F, 2, reply, length, data), 1);
  EXPECT_EQ(length, 12);
  EXPECT_EQ(Bytes(reply, reply + 12), Bytes(answer.begin() + 3, answer.end()));
  EXPECT_EQ(reply[12], 0);  // nothing past the expected length
  EXPECT_EQ(peer.Frames().at(0), (Bytes{0x02, 0x00, 0x4F, 0x02, 0x84, 0x00, 0x03, 0xDA, 0x0D}));
}

TEST_F(ModuleCommandsTest, BootModeRequestIsAcknowledgedAndTheLineDropsTo19200) {
  sim::SimOptions options;
  options.firmwareRate = 38400;
  test::TracedSim sim(folder_, 3, options);
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  cont.DebugLog = 1;
  cont.TxLog = cont.RxLog = 0;
  ASSERT_EQ(cont.OpenPort(3), 1);
  cont.CommX1.SetBaudRate(br38400);
  EXPECT_EQ(cont.SetProgMode(), 1);
  EXPECT_EQ(pane_.lines, std::vector<std::string>{"ACK Recieve"});
  EXPECT_EQ(cont.CommX1.BaudRate(), br19200);
  EXPECT_EQ(sim.Received().at(0), "02 00 4E 0A 9B 35 38 33 39 31 34 32 30 37 03 " +
                                      std::string("CF 0D"));
  EXPECT_TRUE(sim->WaitFor([](const sim::SimSnapshot& s) { return s.personality == sim::Personality::Boot; },
                           std::chrono::milliseconds(3000)));
}

TEST_F(ModuleCommandsTest, UnansweredBootModeRequestStillSucceedsAndSwitchesTo19200) {
  test::PtyPort port(5, folder_.Path());
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  cont.DebugLog = 1;
  cont.TxLog = cont.RxLog = 0;
  ASSERT_EQ(cont.OpenPort(5), 1);
  cont.CommX1.SetBaudRate(br115200);
  EXPECT_EQ(cont.SetProgMode(), 1);
  EXPECT_EQ(pane_.lines, std::vector<std::string>{"Time Over(10)"});
  EXPECT_EQ(port.SlaveRate(), 19200u);
}

TEST_F(ModuleCommandsTest, RefusedBootModeRequestLogsErrorAndFails) {
  test::PtyPort port(5, folder_.Path());
  test::ScriptedModule peer(port, [](const Bytes&) { return test::ReplyFrame(0x31, {0x9B}); });
  TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
  cont.DebugLog = 1;
  cont.TxLog = cont.RxLog = 0;
  ASSERT_EQ(cont.OpenPort(5), 1);
  EXPECT_EQ(cont.SetProgMode(), 0);
  EXPECT_EQ(pane_.lines, std::vector<std::string>{"Error"});
  EXPECT_EQ(port.SlaveRate(), 19200u);
}

}  // namespace
}  // namespace kv9
