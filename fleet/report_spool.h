#pragma once
// The reports a broker has not yet acknowledged, one file each in a folder
// ($XDG_DATA_HOME/kv9update/spool): a report is kept there before it is
// published and removed only once the broker acknowledged it, so neither a
// broker that is away nor a program that ends first loses one. File names
// sort in the order the reports were kept and name the process that kept
// them: "<UTC nanoseconds, 20 digits>-<pid>-<counter>.json". Each file is
// written whole or not at all (platform/atomic_file).
#include <cstdint>
#include <string>
#include <vector>

namespace kv9::fleet {

std::string SpoolFileName(std::uint64_t utcNanoseconds, long pid, unsigned counter);
// The pid in a spool file name, -1 when the name is not one. Pure.
long SpoolFileWriter(const std::string& name);

class ReportSpool {
 public:
  // `pid` is this process's, for the names of the files it keeps.
  ReportSpool(std::string folder, long pid);

  // $XDG_DATA_HOME/kv9update/spool; "" with `error` when the system names
  // no data folder.
  static std::string DefaultFolder(std::string& error);
  // Makes the folder when it is missing; false with `error`.
  bool Prepare(std::string& error) const;

  // Keeps `json` (one report object) as the newest report: its file name,
  // "" with `error` when it could not be written.
  std::string Keep(const std::string& json, std::string& error);
  // Every kept report, oldest first (file names).
  std::vector<std::string> Pending() const;
  // The report in `name` without its line end; false when it is gone.
  bool Read(const std::string& name, std::string& json) const;
  void Remove(const std::string& name) const;
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  long pid_;
  unsigned counter_ = 0;
};

}  // namespace kv9::fleet
