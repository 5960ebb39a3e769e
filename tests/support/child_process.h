#pragma once
// Runs a program to its end with a deadline, collecting stdout, stderr and
// the exit status; a program still running at the deadline is killed and
// reported as timed out (a hang is a failure, never a stuck test).
#include <string>
#include <vector>

namespace kv9::test {

struct ChildResult {
  int exitCode = -1;  // -1 when killed or not started
  bool timedOut = false;
  std::string out;
  std::string err;
};

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args, int timeoutMs);

// A program's output as its lines, without their line breaks.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace kv9::test
