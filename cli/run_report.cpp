#include "cli/run_report.h"

#include <cstdio>
#include <sstream>

#include "cli/report_json.h"
#include "platform/atomic_file.h"

namespace kv9::cli {
namespace {

std::string Crc(std::int32_t crc) {
  if (crc < 0) return "none";
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(crc));
  return text;
}

std::string OrUnknown(const std::string& text) { return text.empty() ? "-" : text; }

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

std::string SummaryText(const RunSummary& s) {
  std::ostringstream out;
  if (s.skipped) {
    out << "summary: update skipped (the module already runs the image's version)\n";
    out << "  port     " << s.port << "\n";
    out << "  module   " << OrUnknown(Trimmed(s.module)) << "\n";
    out << "  ROM      " << OrUnknown(Trimmed(s.romBefore)) << "\n";
    return out.str();
  }
  out << "summary: update " << (s.ok ? "OK" : "NG");
  const char* signalName = s.stopSignal == 2 ? "SIGINT" : "SIGTERM";
  if (s.stopSignal && !s.ok) out << " (stopped by " << signalName << ")";
  // After a verified write the run is finished rather than cut short.
  if (s.stopSignal && s.ok)
    out << " (" << signalName << " came after the check; the run was finished)";
  out << "\n";
  out << "  port     " << s.port << "\n";
  out << "  module   " << OrUnknown(Trimmed(s.module)) << "\n";
  out << "  ROM      " << OrUnknown(Trimmed(s.romBefore)) << " -> "
      << OrUnknown(Trimmed(s.romAfter)) << "\n";
  char line[160];
  const double rate = s.seconds > 0 ? static_cast<double>(s.bytes) / 1024.0 / s.seconds : 0;
  if (s.programmed) {
    std::snprintf(line, sizeof line, "  written  %u bytes in %.1f s (%.1f KB/s)\n", s.bytes,
                  s.seconds, rate);
  } else {
    std::snprintf(line, sizeof line,
                  "  written  programming not completed (%u bytes of the area passed), %.1f s\n",
                  s.bytes, s.seconds);
  }
  out << line;
  out << "  CRC      module " << Crc(s.moduleCrc) << ", image " << Crc(s.imageCrc)
      << (s.moduleCrc < 0             ? " (not checked)"
          : s.moduleCrc == s.imageCrc ? " (match)"
                                      : " (MISMATCH)")
      << "\n";
  if (!s.firmwareBackup.empty()) out << "  backup   " << s.firmwareBackup << "\n";
  return out.str();
}

std::string ContinueCommand(const CliOptions& options, const std::string& port, std::int32_t moduleRate,
                            NextStep next, const std::string& backup, bool otherModule) {
  std::string command = "kv9flash --port " + port;
  switch (next) {
    case NextStep::None: return {};
    case NextStep::Restore:
      return command + (options.update.InitScanMode ? " --scan-mode" : "") + " restore";
    case NextStep::RestoreFromBackup:
      return command + (options.update.InitScanMode ? " --scan-mode" : "") + " restore --from " + ShellQuote(backup) +
             (otherModule ? " --other-module" : "");
    case NextStep::RollBack:
      return command + " restore --roll-back " + ShellQuote(backup) + (otherModule ? " --other-module" : "");
    case NextStep::ReWrite: command += " --rewrite --speed " + std::to_string(moduleRate); break;
    case NextStep::Update: break;
  }
  for (const std::string& a : SettingsArguments(options)) command += " " + a;
  // The module still holds the firmware it had: the same run takes the
  // same copy and the same look at its version. A half-erased flash is
  // worth no copy.
  if (next == NextStep::Update && !options.update.FirmwareBackup.empty())
    command += " --backup " + ShellQuote(options.update.FirmwareBackup);
  if (next == NextStep::Update && options.update.SkipCurrent) command += " --skip-current";
  if (next == NextStep::Update && options.command == Command::Version) return command + " version";
  if (next == NextStep::Update && options.command == Command::Restore) return command + " restore";
  return command + " update";
}

std::string RowReportLine(const PortRow& r) {
  return r.port + "\t" + r.module + "\t" + r.romBefore + "\t" + r.romAfter + "\t" + r.outcome;
}

PortRow ParseRowReport(const std::string& line) {
  PortRow row;
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', from);
    fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) break;
    from = tab + 1;
  }
  if (fields.size() != 5) return row;
  row.port = fields[0];
  row.module = fields[1];
  row.romBefore = fields[2];
  row.romAfter = fields[3];
  row.outcome = fields[4] == "OK" ? "OK" : "NG";
  return row;
}

std::vector<std::string> CommonChildArguments(const std::vector<std::string>& args) {
  std::vector<std::string> common;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" || args[i] == "--report") {
      ++i;
      continue;
    }
    // One file per port: each child names its own in the folder.
    if (args[i] == "--backup" && i + 1 < args.size()) {
      common.push_back(args[i]);
      const std::string& folder = args[++i];
      common.push_back(folder.back() == '/' ? folder : folder + "/");
      continue;
    }
    common.push_back(args[i]);
  }
  return common;
}

std::string PortTable(const std::vector<PortRow>& rows) {
  std::string out;
  char line[200];
  std::snprintf(line, sizeof line, "%-8s %-10s %-10s %-10s %-6s %s\n", "port", "module", "before",
                "after", "result", "time");
  out += line;
  for (const PortRow& r : rows) {
    std::snprintf(line, sizeof line, "%-8s %-10s %-10s %-10s %-6s %.1f s\n", r.port.c_str(),
                  OrUnknown(Trimmed(r.module)).c_str(), OrUnknown(Trimmed(r.romBefore)).c_str(),
                  OrUnknown(Trimmed(r.romAfter)).c_str(), r.outcome.c_str(), r.seconds);
    out += line;
  }
  return out;
}

PortRow FinishedChildRow(const std::string& report, const std::string& port, int exitStatus, double seconds) {
  const std::size_t lineEnd = report.find('\n');
  PortRow row = ParseRowReport(report.substr(0, lineEnd));
  if (lineEnd != std::string::npos) {
    row.json = report.substr(lineEnd + 1);
    if (const std::size_t end = row.json.find('\n'); end != std::string::npos) row.json.erase(end);
  }
  row.port = port;
  row.exitStatus = exitStatus;
  if (exitStatus != 0) row.outcome = "NG";
  row.seconds = seconds;
  return row;
}

int FinishSeveralPorts(const std::vector<PortRow>& rows, bool quiet, int stopSignal, const std::string& reportFile) {
  if (!quiet) {
    std::fprintf(stderr, "%s", PortTable(rows).c_str());
    std::fflush(stderr);
  }
  int status = 0;
  for (const PortRow& row : rows) {
    if (row.exitStatus == 2) status = 2;
    if (row.outcome != "OK" && status == 0) status = 1;
  }
  if (stopSignal) status = 128 + stopSignal;
  if (!reportFile.empty()) {
    std::string lines, error;
    for (const PortRow& row : rows) lines += (row.json.empty() ? LostChildJson(row) : row.json) + "\n";
    if (!WriteFileAtomically(reportFile, lines, error)) {
      std::fprintf(stderr, "error: report not written: %s\n", error.c_str());
      if (status == 0) status = 1;
    }
  }
  return status;
}

}  // namespace kv9::cli
