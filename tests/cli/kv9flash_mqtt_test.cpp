// kv9flash and a real MQTT broker (mosquitto on 127.0.0.1, a configuration
// of the test's own): a station started while the broker is down delivers
// every report once the broker is up, with the same run ids as its report
// file; a module swapped later is reported live; the retained slot states,
// "online", "offline" after Ctrl+C and the will after a crash; a single
// update whose broker refuses it keeps its report for the next run.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "image/sha256.h"
#include "kv9_version.h"
#include "tests/cli/spawned_child.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/port_folder.h"
#include "tests/support/temp_dir.h"

namespace kv9 {
namespace {

namespace fs = std::filesystem;
using test::SpawnedChild;

constexpr int kWatchdogMs = 60000;
// The CRC area of the default RX231 256K setting, 0xFFFC0000..0xFFFFBFFF.
constexpr std::size_t kCrcAreaBytes = 0x3C000;

std::string Member(const std::string& json, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const std::size_t at = json.find(key);
  if (at == std::string::npos) return {};
  return json.substr(at + key.size(), json.find('"', at + key.size()) - at - key.size());
}

// The payloads `mosquitto_sub -v` printed for `topic`, in order.
std::vector<std::string> Payloads(const std::string& out, const std::string& topic) {
  std::vector<std::string> payloads;
  for (const std::string& line : test::SplitLines(out)) {
    if (line.rfind(topic + " ", 0) == 0) payloads.push_back(line.substr(topic.size() + 1));
  }
  return payloads;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string HostName() {
  char name[256] = {};
  ::gethostname(name, sizeof name - 1);
  return name;
}

// What the module's flash holds over the CRC area, by its dump.
std::string FlashSha256(const fs::path& flashBin) {
  const std::string flash = test::FileText(flashBin).substr(0, kCrcAreaBytes);
  return DigestHex(Sha256Of(reinterpret_cast<const std::uint8_t*>(flash.data()), flash.size()));
}

// Every schema-2 member of a station's report, with its values.
void ExpectIdentity(const std::string& report, const std::string& station, const std::string& flashSha) {
  EXPECT_NE(report.find(",\"schema\":2,\"run_id\":\""), std::string::npos) << report;
  EXPECT_TRUE(std::regex_search(report, std::regex("\"run_id\":\"[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\"")))
      << report;
  EXPECT_NE(report.find(std::string("\"tool\":{\"program\":\"kv9flash\",\"version\":\"") + KV9_PRODUCT_VERSION + "\"}"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("\"host\":\"" + HostName() + "\""), std::string::npos) << report;
  EXPECT_NE(report.find("\"station\":\"" + station + "\""), std::string::npos) << report;
  const std::regex iso("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d");
  EXPECT_TRUE(std::regex_match(Member(report, "start"), iso)) << report;
  EXPECT_TRUE(std::regex_match(Member(report, "end"), iso)) << report;
  EXPECT_EQ(Count(report, "\"start\":"), 1u) << report;
  EXPECT_NE(report.find("\"image\":{\"source\":\"built-in\",\"sha256\":\"" + flashSha +
                        "\",\"crc\":\"0xBA50\",\"version\":\"V2.00.00\"}"),
            std::string::npos)
      << report;
}

class Kv9flashMqttTest : public ::testing::Test {
 protected:
  fs::path Spool() const { return out_.Path() / "data" / "kv9update" / "spool"; }
  std::size_t Kept() const {
    std::size_t n = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Spool(), ec)) n += entry.path().extension() == ".json";
    return n;
  }
  // A subscriber to kv9/#, subscribed once it printed the retained probe
  // (a retained message reaches every subscription made after it).
  std::unique_ptr<SpawnedChild> Watch(const test::MosquittoBroker& broker, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"-h", "127.0.0.1", "-p", std::to_string(broker.Port()), "-q", "1",
                                     "-v", "-t", "kv9/#"};
    args.insert(args.end(), more.begin(), more.end());
    auto watch = std::make_unique<SpawnedChild>(MOSQUITTO_SUB_PATH, args);
    std::vector<std::string> probe = {"-h", "127.0.0.1", "-p", std::to_string(broker.Port()), "-q", "1",
                                      "-r", "-t", "kv9/probe", "-m", "here"};
    const auto from = std::find(more.begin(), more.end(), "-u");
    if (from != more.end()) probe.insert(probe.end(), from, from + 4);  // -u USER -P PASS
    EXPECT_EQ(test::RunChild(MOSQUITTO_PUB_PATH, probe, kWatchdogMs).exitCode, 0);
    EXPECT_TRUE(watch->WaitForOutput("kv9/probe here", kWatchdogMs));
    return watch;
  }
  // What is retained under kv9/NAME: `count` messages.
  std::string Retained(const test::MosquittoBroker& broker, const std::string& station, int count) {
    return test::RunChild(MOSQUITTO_SUB_PATH,
                          {"-h", "127.0.0.1", "-p", std::to_string(broker.Port()), "-v", "--retained-only", "-t",
                           "kv9/" + station + "/#", "-C", std::to_string(count), "-W", "20"},
                          kWatchdogMs)
        .out;
  }

  test::TempDir out_;
  test::PortFolder folder_;
  test::ScopedEnv data_{"XDG_DATA_HOME", (out_.Path() / "data").string()};
};

TEST_F(Kv9flashMqttTest, StationStartedWhileTheBrokerIsDownDeliversEveryReportOnceThenLiveWithStatesAndStatus) {
  test::MosquittoBroker broker(out_.Path() / "broker");
  // A persistent subscription, made before the broker goes down, receives
  // what the station publishes after the restart, however soon it comes.
  ASSERT_TRUE(broker.Start());
  const std::vector<std::string> session = {"-c", "-i", "kv9-test-watch"};
  {
    auto first = Watch(broker, session);
    ::kill(first->Pid(), SIGTERM);
    first->Finish(kWatchdogMs);
  }
  broker.Stop();

  const fs::path dump3 = out_.Path() / "dump3", dump4 = out_.Path() / "dump4";
  // Away longer than the slot's pause between two presence checks, so the
  // slot sees the swap.
  SpawnedChild com3(KV9SIM_PATH, {"--com", "3", "--dump", dump3.string(), "--away-ms", "1500"});
  SpawnedChild com4(KV9SIM_PATH, {"--com", "4", "--dump", dump4.string()});
  ASSERT_TRUE(com3.WaitForOutput("kv9sim: ready on COM3", kWatchdogMs));
  ASSERT_TRUE(com4.WaitForOutput("kv9sim: ready on COM4", kWatchdogMs));
  const fs::path report = out_.Path() / "report.jsonl";
  SpawnedChild station(KV9FLASH_PATH, {"station", "--port", "COM3,COM4", "--no-init", "--report", report.string(),
                                       "--mqtt", broker.Url(), "--station-name", "bench"});
  ASSERT_TRUE(station.WaitForOutput(" OK V2.00.00 in ", kWatchdogMs, 2));
  EXPECT_TRUE(test::WaitUntil([this] { return Kept() == 2; }, kWatchdogMs));

  ASSERT_TRUE(broker.Start());
  auto watch = Watch(broker, session);
  ASSERT_TRUE(watch->WaitForOutput("kv9/bench/report ", kWatchdogMs, 2));
  EXPECT_TRUE(test::WaitUntil([this] { return Kept() == 0; }, kWatchdogMs));
  // A module changed later is reported at once.
  ::kill(com3.Pid(), SIGUSR1);
  ASSERT_TRUE(com3.WaitForOutput("module 2 connected", kWatchdogMs));
  ASSERT_TRUE(station.WaitForOutput("#3 OK V2.00.00 in ", kWatchdogMs));
  ASSERT_TRUE(watch->WaitForOutput("kv9/bench/report ", kWatchdogMs, 3));
  ASSERT_TRUE(watch->WaitForOutput("kv9/bench/COM3/state {\"state\":\"ok\",\"seq\":3,", kWatchdogMs));
  const std::string running = Retained(broker, "bench", 3);
  EXPECT_NE(running.find("kv9/bench/status online\n"), std::string::npos) << running;
  EXPECT_NE(running.find("kv9/bench/COM3/state {\"state\":\"ok\",\"seq\":3,\"rom_before\":\"V1.00.00\","
                         "\"rom_after\":\"V2.00.00\",\"run_id\":\""),
            std::string::npos)
      << running;
  EXPECT_NE(running.find("kv9/bench/COM4/state {\"state\":\"ok\",\"seq\":"), std::string::npos) << running;

  ::kill(station.Pid(), SIGINT);
  const auto r = station.Finish(kWatchdogMs);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_TRUE(watch->WaitForOutput("kv9/bench/status offline", kWatchdogMs));
  const std::string ended = Retained(broker, "bench", 3);
  EXPECT_NE(ended.find("kv9/bench/status offline\n"), std::string::npos) << ended;
  EXPECT_EQ(Count(ended, "/state {\"state\":\"stopped\",\"seq\":"), 2u) << ended;
  ::kill(watch->Pid(), SIGTERM);
  const std::string seen = watch->Finish(kWatchdogMs).out;
  // Said once, not per module.
  EXPECT_EQ(Count(r.out, "reports are kept in " + Spool().string() + " until it takes them"), 1u) << r.out;

  const std::vector<std::string> lines = test::SplitLines(test::FileText(report));
  const std::vector<std::string> published = Payloads(seen, "kv9/bench/report");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(std::multiset<std::string>(published.begin(), published.end()),
            std::multiset<std::string>(lines.begin(), lines.end()));
  std::set<std::string> runIds;
  for (const std::string& line : published) runIds.insert(Member(line, "run_id"));
  EXPECT_EQ(runIds.size(), 3u);
  for (auto* sim : {&com3, &com4}) {
    ::kill(sim->Pid(), SIGINT);
    sim->Finish(kWatchdogMs);
  }
  for (const std::string& line : lines) {
    const bool onCom3 = line.rfind("{\"port\":\"COM3\"", 0) == 0;
    const fs::path flash = !onCom3 ? dump4 / "flash.bin"
                                   : dump3 / (line.find("\"seq\":3,") != std::string::npos ? "module-2" : "module-1") /
                                         "flash.bin";
    ExpectIdentity(line, "bench", FlashSha256(flash));
  }
}

TEST_F(Kv9flashMqttTest, AStationThatDiesLeavesItsWillOffline) {
  test::MosquittoBroker broker(out_.Path() / "broker");
  ASSERT_TRUE(broker.Start());
  auto watch = Watch(broker);
  SpawnedChild station(KV9FLASH_PATH, {"station", "--port", "COM9", "--mqtt", broker.Url(), "--station-name", "w"});
  ASSERT_TRUE(watch->WaitForOutput("kv9/w/status online", kWatchdogMs));
  ASSERT_TRUE(watch->WaitForOutput("kv9/w/COM9/state {\"state\":\"waiting\"}", kWatchdogMs));
  // The slot's process is the station's child; it goes too.
  std::ifstream children("/proc/" + std::to_string(station.Pid()) + "/task/" + std::to_string(station.Pid()) +
                         "/children");
  pid_t slot = 0;
  children >> slot;
  ::kill(station.Pid(), SIGKILL);
  station.Finish(kWatchdogMs);
  if (slot > 0) ::kill(slot, SIGKILL);
  EXPECT_TRUE(watch->WaitForOutput("kv9/w/status offline", kWatchdogMs));
  EXPECT_NE(Retained(broker, "w", 2).find("kv9/w/status offline\n"), std::string::npos);
}

TEST_F(Kv9flashMqttTest, AnUpdateTheBrokerRefusesKeepsItsReportAndTheNextRunDeliversBothInOrder) {
  const fs::path passwords = out_.Path() / "passwords";
  ASSERT_EQ(test::RunChild(MOSQUITTO_PASSWD_PATH, {"-b", "-c", passwords.string(), "line", "s3cret"}, kWatchdogMs)
                .exitCode,
            0);
  test::MosquittoBroker broker(out_.Path() / "broker",
                               "allow_anonymous false\npassword_file " + passwords.string() + "\n");
  ASSERT_TRUE(broker.Start());
  auto watch = Watch(broker, {"-u", "line", "-P", "s3cret"});
  SpawnedChild sim(KV9SIM_PATH, {"--com", "5"});
  ASSERT_TRUE(sim.WaitForOutput("kv9sim: ready on COM5", kWatchdogMs));
  const fs::path first = out_.Path() / "first.json", second = out_.Path() / "second.json";
  {
    test::ScopedEnv wrong("KV9_MQTT_PASSWORD", "wrong");
    const auto r = test::RunChild(KV9FLASH_PATH, {"--port", "COM5", "--no-init", "-q", "--report", first.string(),
                                                  "--mqtt", broker.Url(), "--mqtt-user", "line"},
                                  kWatchdogMs);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("MQTT: the broker at " + broker.Url() + " refused the connection ("), std::string::npos)
        << r.err;
  }
  ASSERT_EQ(Kept(), 1u);
  const std::string kept = test::FileText(fs::directory_iterator(Spool())->path());
  EXPECT_EQ(kept, test::FileText(first));
  const fs::path passwordFile = out_.Path() / "password";
  std::ofstream(passwordFile) << "s3cret\n";
  const auto r = test::RunChild(KV9FLASH_PATH, {"--port", "COM5", "--no-init", "-q", "--report", second.string(),
                                                "--mqtt", broker.Url(), "--mqtt-user", "line",
                                                "--mqtt-password-file", passwordFile.string()},
                                kWatchdogMs);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Kept(), 0u);
  ASSERT_TRUE(watch->WaitForOutput("kv9/" + HostName() + "/report ", kWatchdogMs, 2));
  ::kill(watch->Pid(), SIGTERM);
  const auto published = Payloads(watch->Finish(kWatchdogMs).out, "kv9/" + HostName() + "/report");
  ASSERT_EQ(published.size(), 2u);
  EXPECT_EQ(published[0] + "\n", test::FileText(first));
  EXPECT_EQ(published[1] + "\n", test::FileText(second));
  EXPECT_EQ(published[0].find("\"station\":"), std::string::npos) << "a single run names no station";
}

}  // namespace
}  // namespace kv9

namespace kv9 {
namespace {

// A broker of the test's own certificate authority on a TLS listener: the
// update trusts it only through the CA store it is given, and a broker it
// cannot verify keeps the report in the spool.
TEST_F(Kv9flashMqttTest, MqttsChecksTheBrokerAgainstTheCaStore) {
  const fs::path d = out_.Path();
  const auto openssl = [&](std::vector<std::string> args) {
    return test::RunChild(OPENSSL_PATH, args, kWatchdogMs).exitCode;
  };
  ASSERT_EQ(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=kv9 test CA",
                     "-keyout", (d / "ca.key").string(), "-out", (d / "ca.pem").string()}),
            0);
  ASSERT_EQ(openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                     (d / "server.key").string(), "-out", (d / "server.csr").string()}),
            0);
  std::ofstream(d / "san.ext") << "subjectAltName=IP:127.0.0.1\n";
  ASSERT_EQ(openssl({"x509", "-req", "-in", (d / "server.csr").string(), "-CA", (d / "ca.pem").string(), "-CAkey",
                     (d / "ca.key").string(), "-CAcreateserial", "-days", "2", "-extfile", (d / "san.ext").string(),
                     "-out", (d / "server.pem").string()}),
            0);
  const int tlsPort = test::FreeLocalPort();
  test::MosquittoBroker broker(d / "broker", "allow_anonymous true\nlistener " + std::to_string(tlsPort) +
                                                 " 127.0.0.1\ncafile " + (d / "ca.pem").string() + "\ncertfile " +
                                                 (d / "server.pem").string() + "\nkeyfile " +
                                                 (d / "server.key").string() + "\n");
  ASSERT_TRUE(broker.Start());
  auto watch = Watch(broker);
  SpawnedChild sim(KV9SIM_PATH, {"--com", "6"});
  ASSERT_TRUE(sim.WaitForOutput("kv9sim: ready on COM6", kWatchdogMs));
  const std::string url = "mqtts://127.0.0.1:" + std::to_string(tlsPort);
  const std::vector<std::string> args = {"--port", "COM6", "--no-init", "-q", "--mqtt", url, "--station-name", "tls"};
  {
    // The system's store does not know the test's authority.
    test::ScopedEnv store("SSL_CERT_DIR", (d / "empty").string());
    const auto r = test::RunChild(KV9FLASH_PATH, args, kWatchdogMs);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("reports are kept in " + Spool().string()), std::string::npos) << r.err;
    EXPECT_EQ(Kept(), 1u);
  }
  test::ScopedEnv store("SSL_CERT_FILE", (d / "ca.pem").string());
  const auto r = test::RunChild(KV9FLASH_PATH, args, kWatchdogMs);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Kept(), 0u);
  EXPECT_TRUE(watch->WaitForOutput("kv9/tls/report {\"port\":\"COM6\"", kWatchdogMs, 2));
}

}  // namespace
}  // namespace kv9
