#pragma once
// The user's own data folder, where the tool keeps what must outlive a run
// (EEPROM copies, logs): $XDG_DATA_HOME, else ~/.local/share with the home
// folder from $HOME or, when that is unset, from the password database
// (%LOCALAPPDATA% on Windows). Never a relative path: a copy written under
// whatever folder the tool was started in would be as good as lost.
#include <string>

namespace kv9 {

// The folder, or "" when the system names none (then `error` says why).
std::string UserDataFolder(std::string& error);

}  // namespace kv9
