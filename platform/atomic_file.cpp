#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kv9 {
namespace {

std::string Reason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

// fflush only hands the bytes to the system; this makes it put them on the disk.
int SyncToDisk(std::FILE* file) {
#ifdef _WIN32
  return _commit(_fileno(file));
#else
  return ::fsync(::fileno(file));
#endif
}

bool WriteAndSync(const std::string& path, const std::string& content, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = Reason(path, errno);
    return false;
  }
  bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  ok = ok && std::fflush(file) == 0 && SyncToDisk(file) == 0;
  const int writeError = errno;
  ok = (std::fclose(file) == 0) && ok;
  if (!ok) error = Reason(path, writeError ? writeError : errno);
  return ok;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& content, std::string& error) {
  const std::string temporary = path + ".part";
  std::error_code ec;
  if (!WriteAndSync(temporary, content, error)) {
    std::filesystem::remove(temporary, ec);
    return false;
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    error = path + ": " + ec.message();
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& content, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = Reason(path, errno);
    return false;
  }
  content.clear();
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
  const bool ok = std::ferror(file) == 0;
  if (!ok) error = Reason(path, errno);
  std::fclose(file);
  return ok;
}

}  // namespace kv9
