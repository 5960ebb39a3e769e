#pragma once
// What a module on a slot tells about itself that tells it from another
// module: its ROM version, its model name and its factory calibration words
// (read from the EEPROM's factory image, which the update's factory-setting
// restore keeps). Pure.
#include <string>

namespace kv9::station {

struct ModuleIdentity {
  std::string romVersion;   // trimmed, escaped as shown
  std::string modelName;    // trimmed, escaped as shown
  std::string calibration;  // the factory calibration words in hex, "" when not read
};

// Whether `seen` may be the module `known` stands for: the same ROM version,
// model name and calibration words, each where both were read.
bool SameModule(const ModuleIdentity& known, const ModuleIdentity& seen);

// "V2.00.00 Q508 5103.5107" for the event lines and the log.
std::string IdentityText(const ModuleIdentity& identity);

}  // namespace kv9::station
