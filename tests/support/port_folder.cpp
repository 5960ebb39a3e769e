#include "tests/support/port_folder.h"

#include "serial/port_table.h"
#include "tests/support/pty_port.h"

namespace kv9::test {

PortFolder::PortFolder() {
  PortTableSources none;
  none.devDir = path_ + "/no-dev";
  none.sysClassTty = path_ + "/no-sys";
  SetPortTableSourcesForTest(&none);
}

PortFolder::~PortFolder() {
  ptys_.clear();
  SetPortTableSourcesForTest(nullptr);
}

PtyPort& PortFolder::AddPty(int number) {
  ptys_.push_back(std::make_unique<PtyPort>(number, path_));
  return *ptys_.back();
}

void PortFolder::Link(const std::string& name, const std::string& target) const {
  std::filesystem::create_symlink(target, dir_.Path() / name);
}

}  // namespace kv9::test
