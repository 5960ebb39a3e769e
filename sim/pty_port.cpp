#include "pty_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "wire/termios2_linux.h"
#include "pty_line_linux.h"

namespace kv9::sim {

namespace {

[[noreturn]] void ThrowErrno(const char* what, int err) {
  throw std::system_error(err, std::generic_category(), what);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// True when `path` is a link (or file) whose target exists.
bool Alive(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

PtyMaster::PtyMaster(std::uint32_t initialRate) {
  fd_ = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
  if (!fd_.Valid()) ThrowErrno("posix_openpt", errno);
  if (::grantpt(fd_.Get()) != 0) ThrowErrno("grantpt", errno);
  if (::unlockpt(fd_.Get()) != 0) ThrowErrno("unlockpt", errno);
  char name[128];
  if (::ptsname_r(fd_.Get(), name, sizeof name) != 0) ThrowErrno("ptsname_r", errno);
  slavePath_ = name;
  // Raw before publishing: a tool that opens the slave must never see a
  // cooked line (echo, CR translation) even for its first bytes.
  if (int err = PublishRawLine(fd_.Get(), initialRate); err != 0) {
    ThrowErrno("raw mode on pty", err);
  }
}

bool PtyMaster::ToolRate(std::uint32_t* rate) const {
  return posix::ReadLineRates(fd_.Get(), rate, nullptr) == 0;
}

PortLink::PortLink(const std::filesystem::path& dir, unsigned comNumber, const std::string& target)
    : dir_(dir), target_(target) {
  if (dir.empty()) throw std::runtime_error("no port directory (set KV9_PORT_DIR)");
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (comNumber != 0) {
    if (!TryCreate(comNumber, true)) {
      throw std::runtime_error("COM" + std::to_string(comNumber) + " is already in use in " + dir.string());
    }
    return;
  }
  for (unsigned n = 1; n < 10000; ++n) {
    if (TryCreate(n, false)) return;
  }
  throw std::runtime_error("no free COM number in " + dir.string());
}

bool PortLink::TryCreate(unsigned n, bool replaceDangling) {
  const std::string name = "COM" + std::to_string(n);
  // The port table ignores letter case, so "com3" occupies COM3 as well.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir_, ec)) {
    const std::string other = entry.path().filename().string();
    if (Lower(other) == Lower(name) && other != name) {
      if (!replaceDangling || Alive(entry.path())) return false;
      std::filesystem::remove(entry.path(), ec);
    }
  }
  const auto path = dir_ / name;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (::symlink(target_.c_str(), path.c_str()) == 0) {
      path_ = path;
      name_ = name;
      number_ = n;
      created_ = true;
      return true;
    }
    if (errno != EEXIST) ThrowErrno("symlink", errno);
    if (!replaceDangling || Alive(path)) return false;
    ::unlink(path.c_str());
  }
  return false;
}

void PortLink::Remove() {
  if (!created_) return;
  created_ = false;
  char buf[256];
  const ssize_t n = ::readlink(path_.c_str(), buf, sizeof buf - 1);
  if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target_) ::unlink(path_.c_str());
}

}  // namespace kv9::sim
