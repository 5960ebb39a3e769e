#pragma once
// Runs the kv9flash program under test (KV9FLASH_PATH, set by the suite's
// build) with a minute's deadline.
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace kv9::test {

inline ChildResult Kv9flash(const std::vector<std::string>& args) {
  return RunChild(KV9FLASH_PATH, args, 60000);
}

}  // namespace kv9::test
