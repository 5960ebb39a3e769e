#include "cli/broker_link.h"

#include <cstdlib>

#include "cli/recorded_run.h"
#include "fleet/host_name.h"
#include "fleet/report_spool.h"
#include "platform/atomic_file.h"

namespace kv9::cli {
namespace {

// How long a single run waits for the broker to take its report, and then
// for the clean disconnect.
constexpr auto kAcknowledgeWait = std::chrono::seconds(5);
constexpr auto kCloseWait = std::chrono::seconds(1);

// The first line of the file, else the environment; "" none.
bool ReadPassword(const CliOptions& options, std::string& password, std::string& error) {
  if (options.mqttPasswordFile.empty()) {
    if (const char* env = std::getenv("KV9_MQTT_PASSWORD")) password = env;
    return true;
  }
  std::string text;
  if (!ReadWholeFile(options.mqttPasswordFile, text, error)) {
    error = "--mqtt-password-file: " + error;
    return false;
  }
  password = text.substr(0, text.find_first_of("\r\n"));
  return true;
}

}  // namespace

std::string StationName(const CliOptions& options) {
  if (!options.stationName.empty()) return options.stationName;
  const std::string host = fleet::HostName();
  return host.empty() ? "kv9" : host;
}

std::unique_ptr<fleet::ReportPublisher> StartBroker(const CliOptions& options, bool announce, std::string& error) {
  fleet::BrokerSettings settings;
  if (auto address = fleet::ParseBrokerUrl(options.mqttUrl, error)) settings.address = *address;
  else return nullptr;
  settings.station = StationName(options);
  settings.user = options.mqttUser;
  settings.announce = announce;
  if (!ReadPassword(options, settings.password, error)) return nullptr;
  const std::string folder = fleet::ReportSpool::DefaultFolder(error);
  if (folder.empty()) {
    error = "no spool folder for the reports: " + error;
    return nullptr;
  }
  return fleet::StartPublisher(settings, folder, error);
}

int PublishRunReport(fleet::ReportPublisher& broker, const std::string& json, Console& console, int status) {
  std::string error;
  if (!broker.Report(json, error)) {
    console.Message("error: report not kept for the broker: " + error);
    status = Worse(status, 1);
  }
  const bool taken = broker.Flush(kAcknowledgeWait);
  broker.Close(kCloseWait);
  const auto notices = broker.TakeNotices();
  for (const std::string& line : notices) console.Message(line);
  if (!taken && notices.empty()) {
    console.Message("MQTT: the broker did not acknowledge the report in time; it is kept and goes out with the next run");
  }
  return status;
}

}  // namespace kv9::cli
