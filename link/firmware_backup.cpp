#include "link/firmware_backup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "image/srecord_writer.h"
#include "image/version_text.h"
#include "platform/atomic_file.h"
#include "platform/data_folder.h"
#include "wire/crc16.h"

namespace kv9 {
namespace {

// A line glitch that passes every frame check shows only against the
// module's own CRC: the area is read once more before the copy is given up.
constexpr int kReadPasses = 2;

std::string Stamp(std::time_t when, const char* format) {
  char text[32] = {};
  if (const std::tm* local = std::localtime(&when)) std::strftime(text, sizeof text, format, local);
  return text;
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string FileSafe(const std::string& text) {
  std::string safe;
  for (const char c : text) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       c == '.' || c == '-' || c == '_';
    safe += plain ? c : '_';
  }
  return safe;
}

// The area read, checked against what the module itself says it holds.
bool ReadChecked(TFlashWrRXCont& cont, std::uint32_t last, int userBootMode,
                 std::vector<std::uint8_t>& data, std::string& problem) {
  std::vector<std::uint8_t> previous;
  for (int pass = 0; pass < kReadPasses; ++pass) {
    std::uint32_t failedAt = 0;
    if (!cont.ReadUserArea(cont.RomStart, last, userBootMode, data, failedAt)) {
      problem = cont.Stopped() ? "stopped before the read ended"
                               : "the module did not answer the read at " + Hex(failedAt, 8);
      return false;
    }
    if (userBootMode) {
      std::uint16_t crc = 0;
      if (!cont.ReadLoaderCrc(crc)) {
        problem = "the resident loader gave no CRC to check the data read against";
        return false;
      }
      const std::uint16_t read = Crc16(data.data(), data.size());
      if (read == crc) return true;
      problem =
          "the data read (CRC " + Hex(read, 4) + ") differ from the module's CRC " + Hex(crc, 4);
    } else {
      if (pass > 0 && data == previous) return true;
      previous = data;
      problem = "two reads of the area differ";
    }
  }
  return false;
}

bool TargetIsFolder(const FirmwareBackupRequest& request) {
  std::error_code ec;
  return (!request.target.empty() && request.target.back() == '/') ||
         std::filesystem::is_directory(request.target, ec);
}

// The file the copy goes to: the target, or a new name in the target folder.
bool ChooseFile(const FirmwareBackupRequest& request, const std::string& romVersion,
                std::time_t when, std::string& path, std::string& problem) {
  std::error_code ec;
  const std::filesystem::path target(request.target);
  if (!TargetIsFolder(request)) {
    path = request.target;
    return true;
  }
  if (request.makeFolder) std::filesystem::create_directories(target, ec);
  if (ec) {
    path = request.target;
    problem = ec.message();
    return false;
  }
  const std::string name = FirmwareBackupFileName(request.portName, romVersion, when);
  std::filesystem::path file = target / name;
  // Two runs within one second on the same port keep both files.
  for (int n = 2; std::filesystem::exists(file, ec); ++n) {
    file = target / (name.substr(0, name.size() - 4) + "-" + std::to_string(n) + ".mot");
  }
  path = file.string();
  return true;
}

// A folder a person named that is not there fails before the long read,
// not after it.
bool FolderMissing(const FirmwareBackupRequest& request) {
  if (request.makeFolder) return false;
  const std::filesystem::path target(request.target);
  std::filesystem::path folder = TargetIsFolder(request) ? target : target.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  return !std::filesystem::is_directory(folder, ec);
}

}  // namespace

std::string FirmwareBackupFileName(const std::string& portName, const std::string& romVersion,
                                   std::time_t when) {
  const std::string version = TrimmedVersion(romVersion);
  return "fw-" + Stamp(when, "%Y%m%d-%H%M%S") + "-" + portName + "-" +
         (version.empty() ? "unknown" : FileSafe(version)) + ".mot";
}

std::string FirmwareBackupFolder(std::string& error) {
  const std::string base = UserDataFolder(error);
  if (base.empty()) return {};
  return (std::filesystem::path(base) / "kv9update" / "firmware").string() + "/";
}

FirmwareBackupResult BackupFirmware(TFlashWrRXCont& cont, const FirmwareBackupRequest& request) {
  FirmwareBackupResult result;
  const std::uint32_t last = request.userBootMode ? cont.CrcEnd : cont.RomEnd;
  const std::time_t when = std::time(nullptr);
  std::vector<std::uint8_t> data;
  std::string reason = std::strerror(ENOENT);
  const bool read =
      !FolderMissing(request) && ReadChecked(cont, last, request.userBootMode, data, reason);
  // Without a module's word (re-write mode) the firmware's own text names it.
  std::string version = TrimmedVersion(request.romVersion);
  if (version.empty() && read) version = VersionTextAt(data.data(), data.size(), cont.RomStart);
  std::string folderProblem;
  if (!ChooseFile(request, version, when, result.path, folderProblem) || !read) {
    result.problem = result.path + ": " + (read ? folderProblem : reason);
    return result;
  }
  const std::string model = TrimmedVersion(request.model);
  const std::string header = "KV9 " + (model.empty() ? "unknown" : model) + " ROM " +
                             (version.empty() ? "unknown" : version) + " " +
                             Stamp(when, "%Y-%m-%d %H:%M:%S") + " " + request.portName;
  const std::string text = SRecordImageText(header, cont.RomStart, data.data(), data.size());
  std::string error, back;
  // What counts is what the disk gives back, not what was handed to it.
  const bool written = WriteFileAtomically(result.path, text, error);
  if (written && ReadWholeFile(result.path, back, error) && back == text) return result;
  std::error_code ec;
  if (written) std::filesystem::remove(result.path, ec);
  const std::size_t cut = error.rfind(": ");
  result.problem = result.path + ": " +
                   (error.empty()              ? "the file read back differs from the data read"
                    : cut == std::string::npos ? error
                                               : error.substr(cut + 2));
  return result;
}

}  // namespace kv9
