#include "cli/run_record.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "cli/host_os.h"

namespace kv9::cli {

std::FILE* OpenRunRecord(const std::string& folder, const std::string& port, std::string* path,
                         std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    *error = "cannot create " + folder + ": " + ec.message();
    return nullptr;
  }
  const std::time_t now = std::time(nullptr);
  const std::tm local = LocalTime(now);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = folder + "/kv9flash-" + stamp + "-" + port;
  for (int n = 1; n < 1000; ++n) {
    *path = base + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".log";
    if (std::FILE* file = CreateNewFile(*path)) return file;
    if (errno != EEXIST) break;
  }
  *error = "cannot create " + *path + ": " + std::strerror(errno);
  return nullptr;
}

}  // namespace kv9::cli
