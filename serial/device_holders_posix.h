#pragma once
// Who else has a serial device open. A program that opened the device without
// any lock (a terminal program, `cat`, a second tool of another make) is
// invisible to flock and, for root, to TIOCEXCL; the open descriptors under
// /proc show it, as fuser finds them. Only processes whose descriptors this
// program may read are seen (all of them for root, its own user's otherwise).
#include <sys/types.h>

#include <string>

namespace kv9::posix {

struct DeviceHolder {
  pid_t pid = 0;     // 0: nobody found
  std::string name;  // the process's command name (/proc/<pid>/comm)
};

// The first process other than this one's descriptor `ownFd` that has the
// character device `device` open (any descriptor of another process, or a
// descriptor of this process other than ownFd; -1 skips none of ours).
// `procDir` is "/proc" except in tests.
DeviceHolder FindDeviceHolder(dev_t device, int ownFd, const std::string& procDir = "/proc");

// "<name> (PID <n>)", or "" when nobody was found.
std::string HolderText(const DeviceHolder& holder);

}  // namespace kv9::posix
