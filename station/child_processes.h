#pragma once
// One kv9flash process per port, all at the same time: the supervisor that
// both a several-port run and a station's slots run under. It starts each
// child, reads its streams line by line (stdout, stderr, and the line of
// reports or events on the descriptor named by kReportFdVariable), passes a
// stop signal on to every child and waits for all of them. POSIX
// (child_processes_posix.cpp); on Windows a several-port run has its own.
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace kv9::station {

// The environment variable naming the descriptor a child writes its report
// row (several ports) or its events (a station slot) on.
constexpr char kReportFdVariable[] = "KV9FLASH_REPORT_FD";

enum class ChildStream { Out = 0, Err = 1, Report = 2 };

struct SupervisedChild {
  std::vector<std::string> args;  // without the program
  // The name other programs see (ps, and the holder a program finds on a
  // port it cannot open): "kv9flash station COM3". "" the program's path.
  std::string title;
  bool keepStdout = true;  // false: the child's stdout goes nowhere
  std::vector<std::string> env;  // "NAME=value" entries besides this process's environment
  // Filled in by the supervisor.
  int pid = -1;
  bool started = false;
  int exitStatus = 1;  // its exit status; 1 when it was killed or never ran
  std::chrono::steady_clock::time_point start, end;  // end: its last stream closed
};

struct SupervisorCalls {
  // A complete line of child `k` (the rest without an end of line when the
  // stream closes).
  std::function<void(std::size_t k, ChildStream stream, const std::string& line)> line;
  // The signal that asked for a stop, 0 none: passed on to every child.
  std::function<int()> stopSignal;
  // After every batch of lines and every 200 ms of quiet.
  std::function<void()> idle;
};

// Starts this program once per child, serves them until each has closed
// its streams, and waits for them. A child that could not be started has
// `started` false; `startErrors` (when given) gets the error number of each
// child, 0 for those that started.
void SuperviseChildren(std::vector<SupervisedChild>& children, const SupervisorCalls& calls,
                       std::vector<int>* startErrors = nullptr);

// In a child: the descriptor (on Windows the inherited pipe handle) to write
// report or event lines on, -1 when this process is no child of a supervisor.
inline int ReportDescriptor() {
  const char* fd = std::getenv(kReportFdVariable);
  return fd ? std::atoi(fd) : -1;
}

}  // namespace kv9::station
