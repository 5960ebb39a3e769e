#pragma once
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "serial/port_table.h"

namespace kv9::test {

// A fresh folder that KV9_PORT_DIR points at, with the machine's own ports
// left out, in this process and in every program it starts
// (KV9_PORT_DIR_ONLY): no test touches the machine's serial lines.
class PortFolder {
 public:
  PortFolder() {
    char tmpl[] = "/tmp/kv9-ports-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    Set("KV9_PORT_DIR", path_, 0);
    Set("KV9_PORT_DIR_ONLY", "1", 1);
    PortTableSources none;
    none.devDir = path_ + "/no-dev";
    none.sysClassTty = path_ + "/no-sys";
    SetPortTableSourcesForTest(&none);
  }
  ~PortFolder() {
    SetPortTableSourcesForTest(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    const char* names[] = {"KV9_PORT_DIR", "KV9_PORT_DIR_ONLY"};
    for (int i = 0; i < 2; ++i) {
      if (old_[i]) ::setenv(names[i], old_[i]->c_str(), 1);
      else ::unsetenv(names[i]);
    }
  }
  PortFolder(const PortFolder&) = delete;
  PortFolder& operator=(const PortFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  void Set(const char* name, const std::string& value, int slot) {
    if (const char* old = ::getenv(name)) old_[slot] = old;
    ::setenv(name, value.c_str(), 1);
  }
  std::string path_;
  std::optional<std::string> old_[2];
};

}  // namespace kv9::test
