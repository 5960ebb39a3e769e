#pragma once
// Publishes a station's reports, slot states and status to an MQTT broker
// (mqtt_publisher_mosquitto.cpp, through libmosquitto; a build without it,
// as on Windows, has mqtt_publisher_none.cpp, whose StartPublisher refuses).
//
// Never waits for the broker: a background thread connects, reconnects
// every second while the broker is away and on every (re)connect publishes
// "online" (when announcing), every slot's last state and then the spool,
// oldest report first. A report is kept in the spool before it is
// published and removed when the broker acknowledged it (PUBACK). Every
// call may be made from the program's main thread; what the person should
// be told comes back from TakeNotices, never printed from the thread.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "fleet/broker_address.h"

namespace kv9::fleet {

struct BrokerSettings {
  BrokerAddress address;
  std::string station;   // NAME in kv9/NAME/...
  std::string user;      // "" none
  std::string password;  // with the user; "" none
  // A station announces itself: retained "online" on every connect,
  // "offline" when it ends, and "offline" as the broker's will.
  bool announce = false;
};

class ReportPublisher {
 public:
  virtual ~ReportPublisher() = default;
  // Keeps the report object in the spool and publishes it on
  // kv9/NAME/report; false, with `error`, when the spool could not keep it
  // (it is then published all the same while connected).
  virtual bool Report(const std::string& json, std::string& error) = 0;
  // The slot's state, retained on kv9/NAME/COMn/state; the last one of each
  // slot is published again on every reconnect.
  virtual void SlotState(const std::string& port, const std::string& json) = 0;
  // Waits until every report this process kept was acknowledged, at most
  // `wait`; true when they were.
  virtual bool Flush(std::chrono::milliseconds wait) = 0;
  // Publishes "offline" (when announcing) after the last slot states, waits
  // at most `wait` for the broker to acknowledge them and disconnects.
  virtual void Close(std::chrono::milliseconds wait) = 0;
  // The lines to tell the person since the last call (the broker not
  // reached, reports being kept, the broker reached again), each once.
  virtual std::vector<std::string> TakeNotices() = 0;
};

// Whether this build can publish at all.
bool PublisherAvailable();

// Starts publishing with the spool in `spoolFolder`; nothing, with `error`,
// when this build cannot publish or the spool folder cannot be made.
std::unique_ptr<ReportPublisher> StartPublisher(const BrokerSettings& settings, const std::string& spoolFolder,
                                                std::string& error);

}  // namespace kv9::fleet
