#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "cli/run_report.h"
#include "cli/several_ports.h"
#include "cli/signals.h"
#include "station/child_processes.h"

namespace kv9::cli {

int RunSeveralPorts(const CliOptions& options, const std::vector<std::string>& args) {
  // The children stop the modules; this process only waits for them.
  ArmStop();
  const std::vector<std::string> common = CommonChildArguments(args);
  std::vector<station::SupervisedChild> children(options.ports.size());
  std::vector<std::string> reports(children.size());
  for (std::size_t k = 0; k < children.size(); ++k) {
    children[k].args = common;
    children[k].args.push_back("--port");
    children[k].args.push_back(options.ports[k]);
    children[k].title = "kv9flash " + options.ports[k];
  }
  station::SupervisorCalls calls;
  // Every line goes on with its port before it, stdout to stdout and stderr
  // to stderr; the report lines are kept for the table.
  calls.line = [&](std::size_t k, station::ChildStream stream, const std::string& line) {
    if (stream == station::ChildStream::Report) {
      reports[k] += line + "\n";
      return;
    }
    std::FILE* to = stream == station::ChildStream::Out ? stdout : stderr;
    std::fprintf(to, "%s: %s\n", options.ports[k].c_str(), line.c_str());
    std::fflush(to);
  };
  calls.stopSignal = [] { return StopSignal(); };
  std::vector<int> errors;
  station::SuperviseChildren(children, calls, &errors);
  std::vector<PortRow> rows;
  for (std::size_t k = 0; k < children.size(); ++k) {
    const station::SupervisedChild& c = children[k];
    if (errors[k] != 0) {
      std::fprintf(stderr, "%s: error: cannot start %s: %s\n", options.ports[k].c_str(), "/proc/self/exe",
                   std::strerror(errors[k]));
    }
    rows.push_back(FinishedChildRow(reports[k], options.ports[k], c.exitStatus,
                                    std::chrono::duration<double>(c.end - c.start).count()));
  }
  return FinishSeveralPorts(rows, options.quiet, StopSignal(), options.reportFile);
}

void ReportRowToParent(const PortRow& row) {
  const int fd = station::ReportDescriptor();
  if (fd < 0) return;
  const std::string line = RowReportLine(row) + "\n" + row.json + "\n";
  [[maybe_unused]] const ssize_t n = ::write(fd, line.data(), line.size());
}

}  // namespace kv9::cli
