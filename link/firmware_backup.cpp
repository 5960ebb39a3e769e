#include "link/firmware_backup.h"

#include <cerrno>
#include <chrono>
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

// `file` when nothing has that name (a dangling link counts as a name),
// else the first of "-2", "-3", ... before its extension that is free.
std::filesystem::path FreeName(const std::filesystem::path& file) {
  std::error_code ec;
  auto taken = [&ec](const std::filesystem::path& p) {
    return std::filesystem::exists(std::filesystem::symlink_status(p, ec));
  };
  if (!taken(file)) return file;
  const std::string stem = file.stem().string();
  const std::string extension = file.extension().string();
  for (int n = 2;; ++n) {
    std::filesystem::path other = file.parent_path() / (stem + "-" + std::to_string(n) + extension);
    if (!taken(other)) return other;
  }
}

std::string Absolute(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  std::string text = (ec ? path : absolute.lexically_normal()).string();
  // A folder is named without the separator a person may have ended it with.
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

// The file the copy goes to: the target, or a new name in the target folder;
// never one that is there already (two runs within one second on the same
// port, or a file named twice, keep both files).
bool ChooseFile(const FirmwareBackupRequest& request, const std::string& romVersion,
                std::time_t when, std::string& path, std::string& problem) {
  std::error_code ec;
  const std::filesystem::path target(request.target);
  if (!TargetIsFolder(request)) {
    path = Absolute(FreeName(target));
    return true;
  }
  if (request.makeFolder) std::filesystem::create_directories(target, ec);
  if (ec) {
    path = Absolute(target);
    problem = ec.message();
    return false;
  }
  path = Absolute(FreeName(target / FirmwareBackupFileName(request.portName, romVersion, when)));
  return true;
}

std::filesystem::path FolderOf(const FirmwareBackupRequest& request) {
  const std::filesystem::path target(request.target);
  std::filesystem::path folder = TargetIsFolder(request) ? target : target.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// A new file can be made in `folder`: one is made and removed again.
std::string FolderTakesNoFile(const std::filesystem::path& folder) {
  const std::filesystem::path probe =
      folder / (".kv9-backup-check-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::FILE* file = std::fopen(probe.string().c_str(), "wbx");
  if (!file) return std::strerror(errno);
  std::fclose(file);
  std::error_code ec;
  std::filesystem::remove(probe, ec);
  return {};
}

// The size of the largest file a copy of `areaBytes` can give: every block
// holding data, and a header of the most a header line carries.
std::uintmax_t CopyFileBytes(std::uint32_t areaBytes) {
  const std::vector<std::uint8_t> data(areaBytes, 0x00);
  return SRecordImageText(std::string(252, 'x'), 0xFFFFFFFFu - areaBytes + 1u, data.data(), data.size()).size();
}

// A folder a person named that is not there fails before the long read,
// not after it.
bool FolderMissing(const FirmwareBackupRequest& request) {
  if (request.makeFolder) return false;
  std::error_code ec;
  return !std::filesystem::is_directory(FolderOf(request), ec);
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

std::uint32_t FirmwareBackupBytes(const TFlashWrRXCont& cont, int userBootMode) {
  const std::uint32_t last = userBootMode ? cont.CrcEnd : cont.RomEnd;
  return last >= cont.RomStart ? last - cont.RomStart + 1u : 0u;
}

std::string FirmwareBackupTargetProblem(const FirmwareBackupRequest& request, std::uint32_t areaBytes,
                                        const std::string& imageFile) {
  std::error_code ec;
  const std::filesystem::path folder = FolderOf(request);
  if (request.makeFolder) std::filesystem::create_directories(folder, ec);
  if (ec) return Absolute(folder) + ": " + ec.message();
  if (!std::filesystem::is_directory(folder, ec)) {
    const bool there = std::filesystem::exists(folder, ec);
    return Absolute(folder) + ": " + std::strerror(there ? ENOTDIR : ENOENT);
  }
  if (!TargetIsFolder(request) && !imageFile.empty() && std::filesystem::equivalent(request.target, imageFile, ec)) {
    return Absolute(request.target) + ": this is the image file the update writes; the copy would replace it";
  }
  if (const std::string why = FolderTakesNoFile(folder); !why.empty()) {
    return Absolute(folder) + ": no file can be made there: " + why;
  }
  const std::uintmax_t needed = CopyFileBytes(areaBytes);
  const std::filesystem::space_info space = std::filesystem::space(folder, ec);
  if (!ec && space.available < needed) {
    return Absolute(folder) + ": no room for the copy (" + std::to_string(space.available) + " bytes free, " +
           std::to_string(needed) + " needed)";
  }
  return {};
}

std::string FirmwareBackupRefusal(const std::string& problem) {
  return "ファームウェアのバックアップができないため、書き込みを中止しました。 " + problem;
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
