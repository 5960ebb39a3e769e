#include <cstdlib>
#include <filesystem>

#include "platform/data_folder.h"

namespace kv9 {
namespace {

std::string Absolute(const char* value) {
  if (!value || !*value) return {};
  return std::filesystem::path(value).is_absolute() ? value : "";
}

}  // namespace

std::string UserDataFolder(std::string& error) {
  if (std::string xdg = Absolute(std::getenv("XDG_DATA_HOME")); !xdg.empty()) return xdg;
  if (std::string local = Absolute(std::getenv("LOCALAPPDATA")); !local.empty()) return local;
  if (std::string profile = Absolute(std::getenv("USERPROFILE")); !profile.empty()) {
    return (std::filesystem::path(profile) / "AppData" / "Local").string();
  }
  error = "no user data folder (LOCALAPPDATA and USERPROFILE are unset)";
  return {};
}

}  // namespace kv9
