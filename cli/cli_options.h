#pragma once
// The command line of kv9flash. Pure: tests feed it argument lists.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/firmware_update.h"
#include "platform/prog_settings.h"

namespace kv9::cli {

enum class Command { Update, Version, Ports, Info, Restore, Station };

struct CliOptions {
  Command command = Command::Update;
  std::string port = "COM1";       // the first (or only) port
  std::vector<std::string> ports;  // every port named, in order, without repeats
  bool autoCheck = false;
  bool reWrite = false;
  std::int32_t speed = 19200;  // the module's rate in re-write mode
  std::string imageFile;
  TProgSettings settings;  // CPU, ROM size, boot rate, clock
  UpdateOptions update;    // reset wait, factory restore, scan mode
  bool debug = false;
  bool txLog = false;
  bool rxLog = false;
  bool quiet = false;    // no progress line, no closing summary
  bool version = false;  // print the program's version and end
  std::string logDir;    // run records go here when set
  std::string reportFile;   // the run's outcome as JSON goes here when set
  std::string restoreFrom;   // restore --from: the backup file the factory-setting step continues from
  std::string rollBackFrom;  // restore --roll-back: the backup file written back as it is
  bool otherModule = false;  // either file may be another module's
  std::string mqttUrl;           // the broker the reports go to (--mqtt), "" none
  std::string stationName;       // NAME in kv9/NAME/... and the report's "station"; "" the host name
  std::string mqttUser;          // "" none
  std::string mqttPasswordFile;  // "" none: the password then comes from KV9_MQTT_PASSWORD
  // Not an option: the station name a station's slot puts into each run's
  // report ("" outside a station).
  std::string reportStation;
  bool help = false;
};

struct ParseResult {
  std::optional<CliOptions> options;
  std::string error;  // set when options is empty
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);
const char* UsageText();

// The options of the command that repeats this run's settings, for the
// command a person runs to continue (re-write mode and its rate are the
// caller's). Defaults are left out; the image file name is quoted for a
// POSIX shell when it needs it.
std::vector<std::string> SettingsArguments(const CliOptions& options);
std::string ShellQuote(const std::string& word);

}  // namespace kv9::cli
