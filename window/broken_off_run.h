#pragma once
// A small marker in the data folder that outlives a run the tool could not
// finish (a signal, a crash, a power cut): it names the run's record and the
// advice it ended with, so the next start can say so.
#include <string>
#include <vector>

namespace kv9::window {

struct BrokenOffRun {
  std::string recordPath;  // "" when there is no marker
  std::vector<std::string> advice;
};

// <user data folder>/kv9update/broken-off-run.txt; "" when there is none.
std::string BrokenOffRunPath();
BrokenOffRun ReadBrokenOffRun();
// Written whole or not at all; false when it cannot be written.
bool RememberBrokenOffRun(const BrokenOffRun& run);
void ForgetBrokenOffRun();

}  // namespace kv9::window
