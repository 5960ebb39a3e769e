// The kv9sim command line.
#include <gtest/gtest.h>

#include "sim/command_line.h"

namespace kv9::sim {
namespace {

ParseOutcome Parse(std::vector<std::string> args, SimOptions* o, std::string* err, std::string env = "/tmp/ports") {
  return ParseCommandLine(args, env, o, err);
}

TEST(CommandLine, DefaultsComeFromTheEnvironment) {
  SimOptions o;
  std::string err;
  ASSERT_EQ(Parse({}, &o, &err), ParseOutcome::Run) << err;
  EXPECT_EQ(o.portDir, "/tmp/ports");
  EXPECT_EQ(o.cpu, Cpu::RX231);
  EXPECT_EQ(o.firmwareRate, 19200u);
  EXPECT_EQ(o.modelName, "Q508");
  EXPECT_EQ(o.comNumber, 0u);
  EXPECT_FALSE(o.pace);
  EXPECT_EQ(o.matchRates, (std::vector<std::uint32_t>{9600, 19200}));
  EXPECT_EQ(Parse({}, &o, &err, ""), ParseOutcome::Error);
}

TEST(CommandLine, EveryOption) {
  SimOptions o;
  std::string err;
  ASSERT_EQ(Parse({"--com", "7", "--rate", "38400", "--model", "Q600", "--cpu", "RX63T", "--id-protect", "B",
                   "--start-in", "boot", "--pace", "--trace", "--dump", "/tmp/d", "--reset-ms", "300",
                   "--no-reply", "fw:90", "--error-reply", "boot:50/3=53", "--bad-sum", "fw:4F:83/2",
                   "--disconnect-at-block", "5", "--power-loss-at-block", "9", "--bad-crc",
                   "--answer-rates", "19200,115200", "--match-rates", "19200", "--port-dir", "/x",
                   "--module-id", "12", "--eeprom", "/tmp/e"},
                  &o, &err),
            ParseOutcome::Run)
      << err;
  EXPECT_EQ(o.comNumber, 7u);
  EXPECT_EQ(o.firmwareRate, 38400u);
  EXPECT_EQ(o.modelName, "Q600");
  EXPECT_EQ(o.cpu, Cpu::RX63T);
  EXPECT_EQ(o.idProtect, IdProtect::PieceB);
  EXPECT_EQ(o.startIn, StartIn::Boot);
  EXPECT_TRUE(o.pace);
  EXPECT_TRUE(o.trace);
  EXPECT_EQ(o.dumpDir->string(), "/tmp/d");
  EXPECT_EQ(o.resetDelay.count(), 300);
  EXPECT_EQ(o.portDir, "/x");
  ASSERT_EQ(o.faults.rules.size(), 3u);
  EXPECT_EQ(o.faults.rules[0].kind, FaultRule::Kind::NoReply);
  EXPECT_EQ(o.faults.rules[0].site.side, FaultSite::Side::Firmware);
  EXPECT_EQ(o.faults.rules[0].site.code, 0x90);
  EXPECT_FALSE(o.faults.rules[0].site.frameCode.has_value());
  EXPECT_EQ(o.faults.rules[1].kind, FaultRule::Kind::ErrorReply);
  EXPECT_EQ(o.faults.rules[1].site.side, FaultSite::Side::Boot);
  EXPECT_EQ(o.faults.rules[1].site.code, 0x50);
  EXPECT_EQ(o.faults.rules[1].site.occurrence, 3u);
  EXPECT_EQ(o.faults.rules[1].errorCode, 0x53);
  EXPECT_EQ(o.faults.rules[2].kind, FaultRule::Kind::BadSum);
  EXPECT_EQ(o.faults.rules[2].site.frameCode, std::optional<std::uint8_t>(0x4F));
  EXPECT_EQ(o.faults.rules[2].site.code, 0x83);
  EXPECT_EQ(o.faults.rules[2].site.occurrence, 2u);
  EXPECT_EQ(o.faults.disconnectAtBlock, 5u);
  EXPECT_EQ(o.faults.powerLossAtBlock, 9u);
  EXPECT_TRUE(o.faults.badLoaderCrc);
  EXPECT_EQ(o.faults.answerRates, (std::vector<std::uint32_t>{19200, 115200}));
  EXPECT_EQ(o.matchRates, (std::vector<std::uint32_t>{19200}));
  EXPECT_EQ(o.serial, 12u);
  EXPECT_EQ(o.eepromDir->string(), "/tmp/e");
}

TEST(CommandLine, RefusesWhatItCannotHonour) {
  SimOptions o;
  std::string err;
  EXPECT_EQ(Parse({"--rate", "57600"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--cpu", "RX210"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--reset-ms", "1000"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--module-id", "256"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--model", "TENCHARSXX"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--no-reply", "boot:"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--no-reply", "xx:50"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--error-reply", "boot:50"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--disconnect-at-block", "0"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--match-rates", "9600,"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--frobnicate"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--com"}, &o, &err), ParseOutcome::Error);
  EXPECT_EQ(Parse({"--help"}, &o, &err), ParseOutcome::Help);
}

}  // namespace
}  // namespace kv9::sim
