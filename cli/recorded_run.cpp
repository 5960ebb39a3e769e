#include "cli/recorded_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>

#include "cli/module_run.h"
#include "cli/signals.h"
#include "image/image_area.h"
#include "kv9_version.h"
#include "platform/atomic_file.h"
#include "record/run_record.h"

namespace kv9::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The settings of this run, for its record.
std::string SettingsLine(const CliOptions& o) {
  std::string line = "settings: --port " + o.port;
  if (o.autoCheck) line += " --auto";
  if (o.reWrite) line += " --rewrite --speed " + std::to_string(o.speed);
  for (const std::string& a : SettingsArguments(o)) line += " " + a;
  const TProgSettings& s = o.settings;
  char rest[160];
  std::snprintf(rest, sizeof rest, " (cpu code %d, ROM size %s, boot rate %d, %.2f MHz x%d x%d, reset wait %d ms)",
                s.CpuCode, kRomSizeNames[s.RomSizeIndex], s.BootBitRate, static_cast<double>(s.InputFreqMHz),
                s.Multiplier1, s.Multiplier2, o.update.ResetWaitMs);
  return line + rest;
}

// With --auto the record was named before the port was known.
std::string RecordPathFor(const std::string& path, const std::string& named, const std::string& used) {
  if (named == used) return path;
  const std::string suffix = "-" + named + ".log";
  if (path.size() < suffix.size() || path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) return path;
  std::string renamed = path.substr(0, path.size() - suffix.size()) + "-" + used + ".log";
  std::error_code ec;
  if (std::filesystem::exists(renamed, ec)) return path;
  std::filesystem::rename(path, renamed, ec);
  return ec ? path : renamed;
}

}  // namespace

int Worse(int status, int failure) { return status == kExitOk ? failure : status; }

int WriteReport(const std::string& path, const RunFacts& facts, Console& console, int status) {
  std::string error;
  if (WriteFileAtomically(path, ReportJson(facts) + "\n", error)) return status;
  console.Message("error: report not written: " + error);
  return Worse(status, kExitFailed);
}

int RunWithRecord(const CliOptions& options, Console& console, RunFacts& facts) {
  std::string path, error;
  std::FILE* record = record::OpenRunRecord(options.logDir, "kv9flash", options.port, &path, &error);
  if (!record) {
    console.Message("error: no run record: " + error);
    return kExitUsage;
  }
  console.SetRecord(record);
  console.RecordOnly(std::string("kv9flash ") + KV9_PRODUCT_VERSION);
  console.RecordOnly(SettingsLine(options));
  try {
    facts = RunOnModule(options, console);
  } catch (const std::exception& e) {
    console.Message(std::string("error: ") + e.what());
    facts.exitStatus = kExitFailed;
  }
  const int stopSignal = StopSignal();
  console.RecordOnly(std::string("outcome: ") + (facts.exitStatus == kExitOk ? "OK" : "NG") + " (exit status " +
                     std::to_string(facts.exitStatus) + ")" +
                     (stopSignal ? ", signal " + std::to_string(stopSignal) + " received" : ""));
  console.SetRecord(nullptr);
  const bool closed = std::fclose(record) == 0;
  int status = facts.exitStatus;
  if (console.RecordError() != 0 || !closed) {
    const int code = console.RecordError() ? console.RecordError() : errno;
    console.Message("error: run record incomplete: " + path + ": " + std::strerror(code));
    status = Worse(status, kExitFailed);
  }
  path = RecordPathFor(path, options.port, facts.port);
  const std::string json = path.substr(0, path.size() - 4) + ".json";
  return WriteReport(json, facts, console, status);
}


}  // namespace kv9::cli
