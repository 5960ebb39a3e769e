// The broker's address, the topics and payloads, reading a report's run id
// back, and the spool's order and its files.
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "fleet/broker_address.h"
#include "fleet/json_text.h"
#include "fleet/report_spool.h"
#include "fleet/topics.h"
#include "tests/support/temp_dir.h"

namespace kv9::fleet {
namespace {

TEST(BrokerPieces, BrokerUrlsTakeHostPortAndTlsAndRefuseTheRestWithAReason) {
  struct Row {
    const char* url;
    const char* host;
    int port;
    bool tls;
  };
  const Row good[] = {{"mqtt://broker", "broker", 1883, false},  {"mqtt://10.0.0.5:1884", "10.0.0.5", 1884, false},
                      {"mqtts://mq.example.com", "mq.example.com", 8883, true},
                      {"mqtts://mq:8884/", "mq", 8884, true},  {"mqtt://[::1]:1999", "::1", 1999, false}};
  for (const Row& row : good) {
    std::string error;
    const auto address = ParseBrokerUrl(row.url, error);
    ASSERT_TRUE(address) << row.url << error;
    EXPECT_EQ(address->host, row.host);
    EXPECT_EQ(address->port, row.port);
    EXPECT_EQ(address->tls, row.tls);
  }
  const std::pair<const char*, const char*> bad[] = {
      {"tcp://broker", "--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not tcp://broker"},
      {"broker:1883", "--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not broker:1883"},
      {"mqtt://", "--mqtt: no broker host in mqtt:// (mqtt://HOST[:PORT])"},
      {"mqtt://user@broker", "--mqtt: no broker host in mqtt://user@broker (mqtt://HOST[:PORT])"},
      {"mqtt://broker:", "--mqtt: no broker host in mqtt://broker: (mqtt://HOST[:PORT])"},
      {"mqtt://broker:0", "--mqtt: the port in mqtt://broker:0 is not a number from 1 to 65535"},
      {"mqtt://broker:65536", "--mqtt: the port in mqtt://broker:65536 is not a number from 1 to 65535"},
      {"mqtt://broker:x1", "--mqtt: the port in mqtt://broker:x1 is not a number from 1 to 65535"}};
  for (const auto& [url, reason] : bad) {
    std::string error;
    EXPECT_FALSE(ParseBrokerUrl(url, error)) << url;
    EXPECT_EQ(error, reason);
  }
}

TEST(BrokerPieces, TopicsPayloadsAndStationNames) {
  EXPECT_EQ(ReportTopic("bench-2"), "kv9/bench-2/report");
  EXPECT_EQ(StatusTopic("bench-2"), "kv9/bench-2/status");
  EXPECT_EQ(StateTopic("bench-2", "COM12"), "kv9/bench-2/COM12/state");
  EXPECT_EQ(StationNameProblem("ライン1"), "");
  EXPECT_EQ(StationNameProblem(""), "the station name is empty");
  for (const char* name : {"a/b", "a+", "#", "tab\t"}) EXPECT_NE(StationNameProblem(name), "") << name;
  SlotState s;
  EXPECT_EQ(SlotStateJson(s), "{\"state\":\"waiting\"}");
  s = {"updating", "ライト中...", 0, 3, "V1.00.00", "", ""};
  EXPECT_EQ(SlotStateJson(s),
            "{\"state\":\"updating\",\"stage\":\"ライト中...\",\"percent\":0,\"seq\":3,\"rom_before\":\"V1.00.00\"}");
  EXPECT_EQ(StringMember("{\"a\":1,\"run_id\":\"x\\\"y\\\\z\\u0041\"}", "run_id"), "x\"y\\zA");
  EXPECT_EQ(StringMember("{\"run_id\":null}", "run_id"), "");
  EXPECT_EQ(StringMember("{\"run_id\":\"open", "run_id"), "");
}

TEST(BrokerPieces, TheSpoolKeepsReportsWholeInTheOrderKeptAndNamesTheirWriter) {
  EXPECT_EQ(SpoolFileName(1796866354564928526ull, 4242, 7), "01796866354564928526-4242-000007.json");
  EXPECT_EQ(SpoolFileWriter("01796866354564928526-4242-000007.json"), 4242);
  for (const char* name : {"01796866354564928526-4242-000007.json.part", "x1796866354564928526-4242-000007.json",
                           "01796866354564928526-0-000007.json", "notes.txt"}) {
    EXPECT_EQ(SpoolFileWriter(name), -1) << name;
  }
  test::TempDir dir;
  ReportSpool spool((dir.Path() / "a" / "spool").string(), ::getpid());
  std::string error;
  ASSERT_TRUE(spool.Prepare(error)) << error;
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) names.push_back(spool.Keep("{\"n\":" + std::to_string(i) + "}", error));
  // A half-written file (a power cut) is never taken for a report.
  std::ofstream(dir.Path() / "a" / "spool" / (names[0] + ".part")) << "{\"n\":";
  EXPECT_EQ(spool.Pending(), names);
  std::string json;
  ASSERT_TRUE(spool.Read(names[1], json));
  EXPECT_EQ(json, "{\"n\":1}");
  spool.Remove(names[1]);
  EXPECT_EQ(spool.Pending(), (std::vector<std::string>{names[0], names[2]}));
  EXPECT_FALSE(spool.Read(names[1], json));
  // A folder that cannot be made (a file stands in its place).
  std::ofstream(dir.Path() / "file") << "x";
  ReportSpool blocked((dir.Path() / "file" / "spool").string(), 1);
  EXPECT_FALSE(blocked.Prepare(error));
  EXPECT_NE(error.find((dir.Path() / "file" / "spool").string() + ": "), std::string::npos) << error;
}

}  // namespace
}  // namespace kv9::fleet
