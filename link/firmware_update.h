#pragma once
// The one-click firmware update: boot-mode request, handshake, ID code,
// erase, programming, check, restart, ROM version and factory-setting
// restore, with its texts, waits and advice. The desktop window and the
// terminal front end run this same sequence; only their LinkUi differs.
#include <cstdint>
#include <string>

#include "link/eeprom_procedures.h"
#include "link/flash_wr_rx_cont.h"
#include "link/update_report.h"
#include "platform/prog_settings.h"

namespace kv9 {

// The main window's settings the sequence reads.
struct UpdateOptions {
  std::int32_t ResetWaitMs = 1000;
  std::int32_t UserBootMode = 1;
  std::int32_t InitAfterUpdate = 1;
  std::int32_t InitScanMode = 0;
  // Where a copy of the module's firmware goes after the ID code check and
  // before the erase: a file, or a folder (ending in '/') that gets one
  // named after date, time, port and ROM version. "" takes no copy.
  std::string FirmwareBackup;
  // Create that folder when missing: the tool's own data folder is made on
  // first use, a folder a person named must already be there.
  std::int32_t FirmwareBackupMakeFolder = 0;
  // A module that already runs the image's version is left alone (not in
  // re-write mode, where its version is unknown).
  std::int32_t SkipCurrent = 0;
};

// Runs the update on the user-interface thread and returns what it did and
// where it left the module. Sets failStage (0..4) for the advice. The front
// end's controls are driven through cont.Owner(); log lines go through
// `log` (the main window's rule). An exception from any stage ends the
// stages and runs the failure closing; it is then raised again for the
// toolkit's error handler, or, when `escapedError` is given, its text is
// stored there and the report returned.
UpdateReport RunFirmwareUpdate(TFlashWrRXCont& cont, const TProgSettings& settings, const UpdateOptions& options,
                               const LogLineFn& log, std::int32_t& failStage, std::string* escapedError = nullptr);

// The reset wait in milliseconds; a negative setting counts as none.
std::uint32_t ResetWaitOf(const UpdateOptions& options);

// Why the image buffer cannot be programmed with the current settings: its
// first byte belongs to another address than the ROM size setting's first
// address (the setting changed after the image was loaded). Empty when it
// can. Every byte would otherwise land at the wrong address.
std::string ImageAreaProblem(const TFlashWrRXCont& cont);

// Processes messages for ms milliseconds, so windows stay painted while the
// module restarts.
void WaitProcessingMessages(std::uint32_t ms);

}  // namespace kv9
