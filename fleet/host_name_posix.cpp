#include <unistd.h>

#include "fleet/host_name.h"

namespace kv9::fleet {

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace kv9::fleet
