#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace kv9::cli {
namespace {

TEST(CliOptions, DefaultsAreTheToolsDefaults) {
  const auto r = ParseCommandLine({});
  ASSERT_TRUE(r.options);
  EXPECT_EQ(r.options->command, Command::Update);
  EXPECT_EQ(r.options->port, "COM1");
  EXPECT_EQ(r.options->settings.CpuCode, 5);
  EXPECT_EQ(r.options->settings.RomSizeIndex, 11);
  EXPECT_EQ(r.options->settings.BootBitRate, 115200);
  EXPECT_EQ(r.options->update.ResetWaitMs, 1000);
  EXPECT_EQ(r.options->update.InitAfterUpdate, 1);
  EXPECT_FALSE(r.options->debug);
}

TEST(CliOptions, EveryOptionReachesItsSetting) {
  const auto r = ParseCommandLine(
      {"update",      "--port",      "com12",    "--auto",       "--rewrite", "--speed",
       "38400",       "--image",     "a.mot",    "--cpu",        "RX63T",     "--rom-size",
       "1.5M",        "--boot-rate", "57600",    "--freq",       "12.5",      "--mult1",
       "8",           "--mult2",     "4",        "--reset-wait", "1500",      "--no-init",
       "--scan-mode", "--debug",     "--tx-log", "--rx-log",     "--quiet",   "--log-dir",
       "/var/log/kv9"});
  ASSERT_TRUE(r.options) << r.error;
  const CliOptions& o = *r.options;
  EXPECT_EQ(o.command, Command::Update);
  EXPECT_EQ(o.port, "COM12");
  EXPECT_EQ(o.ports, std::vector<std::string>{"COM12"});
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.logDir, "/var/log/kv9");
  EXPECT_EQ(o.settings.PortNumber, 12);
  EXPECT_TRUE(o.autoCheck && o.reWrite && o.debug && o.txLog && o.rxLog);
  EXPECT_EQ(o.speed, 38400);
  EXPECT_EQ(o.imageFile, "a.mot");
  EXPECT_EQ(o.settings.CpuCode, 7);
  EXPECT_EQ(o.settings.RomSizeIndex, 17);
  EXPECT_EQ(o.settings.BootBitRate, 57600);
  EXPECT_FLOAT_EQ(o.settings.InputFreqMHz, 12.5f);
  EXPECT_EQ(o.settings.Multiplier1, 8);
  EXPECT_EQ(o.settings.Multiplier2, 4);
  EXPECT_EQ(o.update.ResetWaitMs, 1500);
  EXPECT_EQ(o.update.InitAfterUpdate, 0);
  EXPECT_EQ(o.update.InitScanMode, 1);
}

TEST(CliOptions, BadUsageIsRefusedWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"--frobnicate"},
      {"--port"},
      {"--port", "ttyUSB0"},
      {"--port", "COM0"},
      {"--speed", "57600"},
      {"--cpu", "RX210"},
      {"--rom-size", "300K"},
      {"--mult1", "256"},
      {"--freq", "abc"},
      {"flash"},
      {"update", "ports"},
      {"--reset-wait", "-1"},
      // Re-write mode sends no module command: there is no version to read.
      {"--rewrite", "version"},
      {"--port", "COM3,COM4", "--auto"},
      {"--port", "COM3,"},
      {"--log-dir"},
      // The backup files go with restore, one at a time.
      {"--roll-back", "/d/e.txt"},
      {"restore", "--from", "/d/e.txt", "--roll-back", "/d/f.txt"},
      {"restore", "--other-module"},
      {"restore", "--roll-back"}};
  for (const auto& args : bad) {
    const auto r = ParseCommandLine(args);
    EXPECT_FALSE(r.options) << args[0];
    EXPECT_FALSE(r.error.empty()) << args[0];
  }
}

TEST(CliOptions, TheBrokerOptionsAndTheirRefusals) {
  const auto r = ParseCommandLine({"station", "--port", "COM3", "--mqtt", "mqtts://mq:8884", "--station-name",
                                   "line-2", "--mqtt-user", "bench", "--mqtt-password-file", "/etc/kv9/pw"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->mqttUrl, "mqtts://mq:8884");
  EXPECT_EQ(r.options->stationName, "line-2");
  EXPECT_EQ(r.options->mqttUser, "bench");
  EXPECT_EQ(r.options->mqttPasswordFile, "/etc/kv9/pw");
  // A station's name also names its reports without a broker.
  EXPECT_TRUE(ParseCommandLine({"station", "--station-name", "s"}).options);
  const std::pair<std::vector<std::string>, std::string> bad[] = {
      {{"--mqtt", "tcp://mq"}, "--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not tcp://mq"},
      {{"--mqtt"}, "--mqtt needs mqtt://HOST[:PORT]"},
      {{"--mqtt", "mqtt://mq", "--mqtt-password", "x"},
       "the broker password is not taken on the command line: use --mqtt-password-file FILE or the environment "
       "variable KV9_MQTT_PASSWORD"},
      {{"--mqtt-password=x"},
       "the broker password is not taken on the command line: use --mqtt-password-file FILE or the environment "
       "variable KV9_MQTT_PASSWORD"},
      {{"station", "--station-name", "a/b"},
       "--station-name: the station name \"a/b\" holds '/', '+', '#' or a control character"},
      {{"--mqtt-user", "u"}, "--mqtt-user and --mqtt-password-file go with --mqtt"},
      {{"--station-name", "s"}, "--station-name goes with station or --mqtt"},
      {{"info", "--mqtt", "mqtt://mq"}, "--mqtt goes with a command that makes a report"}};
  for (const auto& [args, error] : bad) {
    const auto parsed = ParseCommandLine(args);
    EXPECT_FALSE(parsed.options) << args[0];
    EXPECT_EQ(parsed.error, error);
  }
}

TEST(CliOptions, SeveralPortsKeepTheirOrderWithoutRepeats) {
  const auto r =
      ParseCommandLine({"--port", "COM3,com4", "--port", "COM10", "--port", "COM3", "info"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->ports, (std::vector<std::string>{"COM3", "COM4", "COM10"}));
  EXPECT_EQ(r.options->port, "COM3");
  EXPECT_EQ(r.options->settings.PortNumber, 3);
  EXPECT_EQ(r.options->command, Command::Info);
}

}  // namespace
}  // namespace kv9::cli
