#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/run_report.h"
#include "platform/system_text_win32.h"
#include "cli/several_ports.h"
#include "cli/signals.h"

namespace kv9::cli {
namespace {

// stdout, stderr and the report row of one child.
constexpr int kStreams = 3;

struct Child {
  std::string port;
  PROCESS_INFORMATION process{};
  bool started = false;
  HANDLE reads[kStreams] = {nullptr, nullptr, nullptr};
  std::string pending[kStreams];
  int open = 0;
  std::chrono::steady_clock::time_point start, end;
};

// Lines of different children must not mix on the terminal.
std::mutex g_output;

// Writes the complete lines of stdout (0) or stderr (1) with the port before
// each; `all` also what is left without an end of line. The children write in
// text mode: their "\r\n" becomes this program's own end of line.
void Forward(Child& c, int which, bool all) {
  std::string& buf = c.pending[which];
  std::FILE* to = which == 0 ? stdout : stderr;
  auto put = [&](std::size_t from, std::size_t to_) {
    if (to_ > from && buf[to_ - 1] == '\r') --to_;
    std::fprintf(to, "%s: %.*s\n", c.port.c_str(), static_cast<int>(to_ - from), buf.data() + from);
  };
  std::size_t from = 0;
  for (;;) {
    const std::size_t nl = buf.find('\n', from);
    if (nl == std::string::npos) break;
    put(from, nl);
    from = nl + 1;
  }
  if (all && from < buf.size()) {
    put(from, buf.size());
    from = buf.size();
  }
  std::fflush(to);
  buf.erase(0, from);
}

// Reads one stream of a child until the child closes it.
void Drain(Child& c, int which) {
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(c.reads[which], buf, sizeof buf, &n, nullptr) && n > 0) {
    std::lock_guard<std::mutex> lock(g_output);
    c.pending[which].append(buf, n);
    if (which < 2) Forward(c, which, false);
  }
  std::lock_guard<std::mutex> lock(g_output);
  if (which < 2) Forward(c, which, true);
  // The child's time ends when it closed its last stream (it is exiting).
  if (--c.open == 0) c.end = std::chrono::steady_clock::now();
}

// One argument as the C runtime's command-line parser reads it back:
// quoted when it holds blanks or quotes, backslashes doubled before a quote.
std::string Quoted(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (const char ch : arg) {
    if (ch == '\\') {
      ++backslashes;
      continue;
    }
    out.append(ch == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += ch;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

// Starts the child with its three streams on pipes this process reads. The
// pipes' write ends are inheritable only until the child has them: closed
// here right after, so no later child holds them open.
bool Spawn(Child& c, const std::vector<std::string>& args, const std::string& self, DWORD* error) {
  c.start = std::chrono::steady_clock::now();
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE writes[kStreams] = {nullptr, nullptr, nullptr};
  bool ok = true;
  for (int i = 0; i < kStreams && ok; ++i) {
    ok = ::CreatePipe(&c.reads[i], &writes[i], &inherit, 0) &&
         ::SetHandleInformation(c.reads[i], HANDLE_FLAG_INHERIT, 0);
  }
  if (ok) {
    std::string line = Quoted(self);
    for (const std::string& a : args) line += " " + Quoted(a);
    // The report pipe's handle has the same value in the child.
    const std::string report = std::to_string(reinterpret_cast<std::uintptr_t>(writes[2]));
    ::SetEnvironmentVariableA(kReportFdVariable, report.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writes[0];
    startup.hStdError = writes[1];
    ok = ::CreateProcessA(self.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &c.process);
    *error = ok ? 0 : ::GetLastError();
    ::SetEnvironmentVariableA(kReportFdVariable, nullptr);
  } else {
    *error = ::GetLastError();
  }
  for (HANDLE w : writes) {
    if (w) ::CloseHandle(w);
  }
  if (!ok) {
    for (HANDLE& r : c.reads) {
      if (r) ::CloseHandle(r);
      r = nullptr;
    }
  }
  c.started = ok;
  return ok;
}

std::string SelfPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) return path.substr(0, n);
    path.resize(path.size() * 2);
  }
}

}  // namespace

int RunSeveralPorts(const CliOptions& options, const std::vector<std::string>& args) {
  // Ctrl+C and the console's other events reach every process on the
  // console, the children included: they stop the modules themselves, and
  // this process only waits for them.
  ArmStop();
  const std::string self = SelfPath();
  const std::vector<std::string> common = CommonChildArguments(args);
  std::vector<std::unique_ptr<Child>> children;
  std::vector<std::thread> readers;
  for (const std::string& port : options.ports) {
    children.push_back(std::make_unique<Child>());
    Child& c = *children.back();
    c.port = port;
    std::vector<std::string> childArgs = common;
    childArgs.push_back("--port");
    childArgs.push_back(c.port);
    DWORD error = 0;
    if (!Spawn(c, childArgs, self, &error)) {
      std::lock_guard<std::mutex> lock(g_output);
      std::fprintf(stderr, "%s: error: cannot start %s: %s\n", c.port.c_str(), self.c_str(),
                   SystemErrorText(error, true).c_str());
      std::fflush(stderr);
      c.end = std::chrono::steady_clock::now();
      continue;
    }
    c.open = kStreams;
    for (int i = 0; i < kStreams; ++i) readers.emplace_back(Drain, std::ref(c), i);
  }
  for (std::thread& t : readers) t.join();

  std::vector<PortRow> rows;
  for (const auto& child : children) {
    Child& c = *child;
    DWORD status = 1;
    if (c.started) {
      ::WaitForSingleObject(c.process.hProcess, INFINITE);
      ::GetExitCodeProcess(c.process.hProcess, &status);
      ::CloseHandle(c.process.hProcess);
      ::CloseHandle(c.process.hThread);
      for (HANDLE r : c.reads) ::CloseHandle(r);
    }
    const int exitStatus = c.started ? static_cast<int>(status) : 1;
    rows.push_back(FinishedChildRow(c.pending[2], c.port, exitStatus,
                                    std::chrono::duration<double>(c.end - c.start).count()));
  }
  return FinishSeveralPorts(rows, options.quiet, StopSignal(), options.reportFile);
}

void ReportRowToParent(const PortRow& row) {
  const char* handle = std::getenv(kReportFdVariable);
  if (!handle) return;
  const std::string line = RowReportLine(row) + "\n" + row.json + "\n";
  DWORD written = 0;
  ::WriteFile(
      reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(handle, nullptr, 10))),
      line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace kv9::cli
