#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/data_folder.h"

namespace kv9 {
namespace {

std::string Absolute(const char* value) {
  if (!value || !*value) return {};
  return std::filesystem::path(value).is_absolute() ? value : "";
}

std::string HomeFolder() {
  if (std::string home = Absolute(std::getenv("HOME")); !home.empty()) return home;
  if (const passwd* entry = ::getpwuid(::getuid())) return Absolute(entry->pw_dir);
  return {};
}

}  // namespace

std::string UserDataFolder(std::string& error) {
  if (std::string xdg = Absolute(std::getenv("XDG_DATA_HOME")); !xdg.empty()) return xdg;
  const std::string home = HomeFolder();
  if (home.empty()) {
    error = "no home folder (HOME is unset and the user has no entry in the password database)";
    return {};
  }
  return (std::filesystem::path(home) / ".local" / "share").string();
}

}  // namespace kv9
