#include "window/broken_off_run.h"

#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/data_folder.h"

namespace kv9::window {

std::string BrokenOffRunPath() {
  std::string error;
  const std::string base = UserDataFolder(error);
  return base.empty() ? std::string() : base + "/kv9update/broken-off-run.txt";
}

BrokenOffRun ReadBrokenOffRun() {
  BrokenOffRun run;
  const std::string path = BrokenOffRunPath();
  std::string content, error;
  if (path.empty() || !ReadWholeFile(path, content, error)) return run;
  std::size_t from = 0;
  while (from < content.size()) {
    std::size_t nl = content.find('\n', from);
    if (nl == std::string::npos) nl = content.size();
    const std::string line = content.substr(from, nl - from);
    if (run.recordPath.empty()) {
      run.recordPath = line;
    } else if (!line.empty()) {
      run.advice.push_back(line);
    }
    from = nl + 1;
  }
  return run;
}

bool RememberBrokenOffRun(const BrokenOffRun& run) {
  const std::string path = BrokenOffRunPath();
  if (path.empty() || run.recordPath.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::string content = run.recordPath + "\n";
  for (const std::string& line : run.advice) content += line + "\n";
  std::string error;
  return WriteFileAtomically(path, content, error);
}

void ForgetBrokenOffRun() {
  const std::string path = BrokenOffRunPath();
  std::error_code ec;
  if (!path.empty()) std::filesystem::remove(path, ec);
}

}  // namespace kv9::window
