#pragma once
// The two ways back with an EEPROM backup file from the window, as
// `kv9flash restore --from FILE` and `restore --roll-back FILE` take them:
// the factory-setting step continued from the file (after a broken-off
// restore), and the EEPROM roll-back (the file's images as they are). A
// file that fails its check is refused with an error box; another module's
// file is written only when the person answers yes.
#include <string>

#include "link/eeprom_procedures.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9::window {

// Continues the factory-setting step from `file`, or with `rollBack` writes
// its images back as they are:
// logs the file, the outcome ("FLASH DATA : OK"/"NG"), what a failure left
// and the name of the new copy. True when the module holds what was asked.
bool RunEepromBackupCommand(TFlashWrRXCont& cont, bool rollBack, int initScanMode, const std::string& file,
                            const LogLineFn& log);

}  // namespace kv9::window
