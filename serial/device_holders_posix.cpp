#include "serial/device_holders_posix.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace kv9::posix {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// The decimal number a directory entry is named with, or -1.
long NumberOf(const char* name) {
  if (!std::isdigit(static_cast<unsigned char>(*name))) return -1;
  char* end = nullptr;
  const long n = std::strtol(name, &end, 10);
  return *end == '\0' ? n : -1;
}

// The kernel's command name (the program file's name, cut to 15 bytes),
// or the name the program gives itself in its argv[0] when that begins with
// it: a program cut short, or one that names what it does there (a
// station's slot is "kv9flash station COM3").
std::string CommandName(const std::string& procDir, long pid) {
  const std::string dir = procDir + "/" + std::to_string(pid);
  std::ifstream in(dir + "/comm");
  std::string name;
  std::getline(in, name);
  if (name.empty()) return "?";
  std::ifstream cmdline(dir + "/cmdline", std::ios::binary);
  std::string first;
  std::getline(cmdline, first, '\0');
  const std::string own = first.substr(first.find_last_of('/') + 1);
  return own.size() > name.size() && own.compare(0, name.size(), name) == 0 ? own : name;
}

bool HasDeviceOpen(const std::string& procDir, long pid, dev_t device, int skipFd) {
  const std::string fdDir = procDir + "/" + std::to_string(pid) + "/fd";
  DirPtr dir(::opendir(fdDir.c_str()));
  if (!dir) return false;  // gone meanwhile, or not ours to look at
  while (dirent* entry = ::readdir(dir.get())) {
    const long fd = NumberOf(entry->d_name);
    if (fd < 0 || fd == skipFd) continue;
    struct stat st {};
    // stat follows the descriptor's link to the file itself.
    if (::stat((fdDir + "/" + entry->d_name).c_str(), &st) != 0) continue;
    if (S_ISCHR(st.st_mode) && st.st_rdev == device) return true;
  }
  return false;
}

}  // namespace

DeviceHolder FindDeviceHolder(dev_t device, int ownFd, const std::string& procDir) {
  DirPtr proc(::opendir(procDir.c_str()));
  if (!proc) return {};
  const long self = static_cast<long>(::getpid());
  while (dirent* entry = ::readdir(proc.get())) {
    const long pid = NumberOf(entry->d_name);
    if (pid <= 0) continue;
    if (HasDeviceOpen(procDir, pid, device, pid == self ? ownFd : -1)) {
      return {static_cast<pid_t>(pid), CommandName(procDir, pid)};
    }
  }
  return {};
}

std::string HolderText(const DeviceHolder& holder) {
  if (holder.pid == 0) return "";
  return holder.name + " (PID " + std::to_string(holder.pid) + ")";
}

}  // namespace kv9::posix
