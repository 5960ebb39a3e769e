#pragma once
// The command line of kv9flash. Pure: tests feed it argument lists.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/firmware_update.h"
#include "link/prog_settings.h"

namespace kv9::cli {

enum class Command { Update, Version, Ports };

struct CliOptions {
  Command command = Command::Update;
  std::string port = "COM1";
  bool autoCheck = false;
  bool reWrite = false;
  std::int32_t speed = 19200;  // the module's rate in re-write mode
  std::string imageFile;
  TProgSettings settings;      // CPU, ROM size, boot rate, clock
  UpdateOptions update;        // reset wait, factory restore, scan mode
  bool debug = false;
  bool txLog = false;
  bool rxLog = false;
  bool help = false;
};

struct ParseResult {
  std::optional<CliOptions> options;
  std::string error;  // set when options is empty
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);
const char* UsageText();

}  // namespace kv9::cli
