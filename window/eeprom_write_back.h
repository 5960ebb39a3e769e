#pragma once
// Writing an EEPROM backup file back into the module from the window, as
// `kv9flash restore --from FILE` does: what the module holds now is kept in
// a new copy first, then the file's images are written and checked.
#include <string>

#include "link/eeprom_procedures.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9::window {

// Logs the file, the outcome ("FLASH DATA : OK"/"NG"), what a failure left,
// and the name of the new copy. True when the module holds the file's images.
bool WriteBackEepromBackup(TFlashWrRXCont& cont, const std::string& file, const LogLineFn& log);

}  // namespace kv9::window
