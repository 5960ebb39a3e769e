#include "fleet/report_spool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/data_folder.h"

namespace kv9::fleet {
namespace fs = std::filesystem;

std::string SpoolFileName(std::uint64_t utcNanoseconds, long pid, unsigned counter) {
  char name[80];
  std::snprintf(name, sizeof name, "%020llu-%ld-%06u.json", static_cast<unsigned long long>(utcNanoseconds), pid,
                counter % 1000000u);
  return name;
}

long SpoolFileWriter(const std::string& name) {
  constexpr std::size_t kTimeDigits = 20;
  if (name.size() < kTimeDigits + 2 || name[kTimeDigits] != '-') return -1;
  if (name.size() < 5 || name.compare(name.size() - 5, 5, ".json") != 0) return -1;
  for (std::size_t i = 0; i < kTimeDigits; ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
  }
  char* end = nullptr;
  const long pid = std::strtol(name.c_str() + kTimeDigits + 1, &end, 10);
  return end && *end == '-' && pid > 0 ? pid : -1;
}

ReportSpool::ReportSpool(std::string folder, long pid) : folder_(std::move(folder)), pid_(pid) {}

std::string ReportSpool::DefaultFolder(std::string& error) {
  const std::string data = UserDataFolder(error);
  if (data.empty()) return {};
  return (fs::path(data) / "kv9update" / "spool").string();
}

bool ReportSpool::Prepare(std::string& error) const {
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (!ec && fs::is_directory(folder_, ec)) return true;
  error = folder_ + ": " + (ec ? ec.message() : std::string("not a folder"));
  return false;
}

std::string ReportSpool::Keep(const std::string& json, std::string& error) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  const std::string name = SpoolFileName(static_cast<std::uint64_t>(ns), pid_, counter_++);
  if (!WriteFileAtomically((fs::path(folder_) / name).string(), json + "\n", error)) return {};
  return name;
}

std::vector<std::string> ReportSpool::Pending() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder_, ec)) {
    const std::string name = entry.path().filename().string();
    if (SpoolFileWriter(name) > 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool ReportSpool::Read(const std::string& name, std::string& json) const {
  std::string error;
  if (!ReadWholeFile((fs::path(folder_) / name).string(), json, error)) return false;
  while (!json.empty() && (json.back() == '\n' || json.back() == '\r')) json.pop_back();
  return !json.empty();
}

void ReportSpool::Remove(const std::string& name) const {
  std::error_code ec;
  fs::remove(fs::path(folder_) / name, ec);
}

}  // namespace kv9::fleet
