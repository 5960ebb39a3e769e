#include "cli/run_report.h"

#include <cstdio>
#include <sstream>

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
  return out.str();
}

std::string ContinueCommand(const CliOptions& options, const std::string& port,
                            std::int32_t moduleRate, ModuleState state) {
  std::string command = "kv9flash --port " + port;
  if (state == ModuleState::InBootMode)
    command += " --rewrite --speed " + std::to_string(moduleRate);
  for (const std::string& a : SettingsArguments(options)) command += " " + a;
  return command + (options.command == Command::Version && state != ModuleState::InBootMode
                        ? " version"
                        : " update");
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

PortRow FinishedChildRow(const std::string& report, const std::string& port, bool exitedOk, double seconds) {
  PortRow row = ParseRowReport(report.substr(0, report.find('\n')));
  row.port = port;
  if (!exitedOk) row.outcome = "NG";
  row.seconds = seconds;
  return row;
}

int FinishSeveralPorts(const std::vector<PortRow>& rows, bool quiet, int stopSignal) {
  if (!quiet) {
    std::fprintf(stderr, "%s", PortTable(rows).c_str());
    std::fflush(stderr);
  }
  if (stopSignal) return 128 + stopSignal;
  for (const PortRow& row : rows) {
    if (row.outcome != "OK") return 1;
  }
  return 0;
}

}  // namespace kv9::cli
