#include "station/module_identity.h"

namespace kv9::station {

bool SameModule(const ModuleIdentity& known, const ModuleIdentity& seen) {
  // A field the slot never learnt (a re-written module told no model name
  // before its run) says nothing either way.
  auto agrees = [](const std::string& a, const std::string& b) { return a.empty() || b.empty() || a == b; };
  return agrees(known.romVersion, seen.romVersion) && agrees(known.modelName, seen.modelName) &&
         agrees(known.calibration, seen.calibration);
}

std::string IdentityText(const ModuleIdentity& identity) {
  std::string text = identity.romVersion.empty() ? "?" : identity.romVersion;
  if (!identity.modelName.empty()) text += " " + identity.modelName;
  if (!identity.calibration.empty()) text += " " + identity.calibration;
  return text;
}

}  // namespace kv9::station
