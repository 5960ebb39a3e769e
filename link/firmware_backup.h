#pragma once
// A copy of the module's firmware on disk, taken in boot mode after the ID
// code check and before the erase: every block the erase will clear, read
// with the update's own memory read and written as an S-record file. Loaded
// back as an image (kv9flash --image, a drop on the window) it is an
// ordinary update that puts the old firmware back.
#include <cstdint>
#include <ctime>
#include <string>

#include "link/flash_wr_rx_cont.h"

namespace kv9 {

struct FirmwareBackupRequest {
  // The file, or a folder (a name ending in '/', or an existing folder) that
  // gets a file named by FirmwareBackupFileName.
  std::string target{};
  bool makeFolder = false;  // create a missing folder (the tool's own data folder)
  std::string portName{};   // "COM3"
  std::string model{};      // as the module reported it; "" unknown
  std::string romVersion{}; // as the module reported it; "" unknown (re-write mode)
  int userBootMode = 1;     // the resident loader's 16 KB are neither erased nor read
};

struct FirmwareBackupResult {
  std::string path;     // the file (an absolute name), once its name is known
  std::string problem;  // why there is no whole copy; "" when the file is complete
};

// "fw-20261209-104512-COM3-V1.00.00.mot": date, time, port and ROM version
// (characters a file name should not hold become '_'; "unknown" when none).
std::string FirmwareBackupFileName(const std::string& portName, const std::string& romVersion,
                                   std::time_t when);

// kv9update/firmware in the user's data folder, with a '/' at the end so
// that it names a folder; "" with `error` set when the system names none.
std::string FirmwareBackupFolder(std::string& error);

// The bytes a copy reads: RomStart..CrcEnd in user-boot mode (the resident
// loader is neither erased nor read), the whole area otherwise.
std::uint32_t FirmwareBackupBytes(const TFlashWrRXCont& cont, int userBootMode);

// Why a copy of `areaBytes` cannot go to the request's target, checked
// before the module is touched; "" when it can. Its folder must be there
// (made first with makeFolder), take a new file and have room for the whole
// copy; a file target must not be `imageFile`, the file the update programs
// (the same file however it is named: same device and inode).
std::string FirmwareBackupTargetProblem(const FirmwareBackupRequest& request, std::uint32_t areaBytes,
                                        const std::string& imageFile = {});

// The message a person gets when no copy can be made: the run stops there.
std::string FirmwareBackupRefusal(const std::string& problem);

// Reads RomStart..0xFFFFBFFF (the whole area outside user-boot mode),
// checks the data against the resident loader's CRC (outside user-boot
// mode: against a second read), reading once more when they differ, and
// writes the file atomically, then reads it back. An existing file is never
// replaced: the copy takes the first free name with "-2", "-3", ... before
// the extension. On any failure nothing of the target's name is left
// behind and the module is as it was.
FirmwareBackupResult BackupFirmware(TFlashWrRXCont& cont, const FirmwareBackupRequest& request);

}  // namespace kv9
