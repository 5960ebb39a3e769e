// A build without libmosquitto (Windows): the MQTT options are refused.
#include "fleet/report_publisher.h"

namespace kv9::fleet {

bool PublisherAvailable() { return false; }

std::unique_ptr<ReportPublisher> StartPublisher(const BrokerSettings&, const std::string&, std::string& error) {
  error = "--mqtt is not available in this build of kv9flash (it has no MQTT library); "
          "run the station on Linux to publish to a broker";
  return nullptr;
}

}  // namespace kv9::fleet
