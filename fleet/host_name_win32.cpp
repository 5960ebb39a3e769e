#include <windows.h>

#include "fleet/host_name.h"

namespace kv9::fleet {

std::string HostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!::GetComputerNameA(name, &size)) return {};
  return std::string(name, size);
}

}  // namespace kv9::fleet
