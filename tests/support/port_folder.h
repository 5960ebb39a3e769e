#pragma once
// A fresh folder that KV9_PORT_DIR points at, with the machine's own ports
// left out, in this process and in every program it starts
// (KV9_PORT_DIR_ONLY): no test touches the machine's serial lines.
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace kv9::test {

class PtyPort;

class PortFolder {
 public:
  PortFolder();
  ~PortFolder();
  PortFolder(const PortFolder&) = delete;
  PortFolder& operator=(const PortFolder&) = delete;
  const std::string& Path() const { return path_; }

  // A new pty published here as COM<number>; lives as long as the folder.
  PtyPort& AddPty(int number);
  // An entry of any name pointing anywhere (missing devices, non-ttys).
  void Link(const std::string& name, const std::string& target) const;

 private:
  TempDir dir_;
  std::string path_ = dir_.Path().string();
  ScopedEnv portDir_{"KV9_PORT_DIR", path_};
  ScopedEnv portDirOnly_{"KV9_PORT_DIR_ONLY", "1"};
  std::vector<std::unique_ptr<PtyPort>> ptys_;  // last: gone before the folder
};

}  // namespace kv9::test
