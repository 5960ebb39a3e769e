// kv9sim: the simulated reader/writer module as a program. It publishes its
// port, prints one ready line, serves until SIGINT or SIGTERM, then removes
// its port and writes the dump if asked. On a bench it also swaps modules:
// SIGUSR1 (or every --swap-every) takes the module away with its port and,
// after --away-ms, connects a fresh one on the same COM number.
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "sim_module.h"

namespace {

using namespace kv9::sim;

// Waits for one of `signals` for at most `wait` (forever when zero); 0 when
// the time ran out.
int WaitForSignal(const sigset_t& signals, std::chrono::milliseconds wait) {
  if (wait.count() <= 0) {
    int sig = 0;
    return sigwait(&signals, &sig) == 0 ? sig : 0;
  }
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(wait.count() / 1000);
  ts.tv_nsec = static_cast<long>(wait.count() % 1000) * 1'000'000L;
  for (;;) {
    const int sig = sigtimedwait(&signals, nullptr, &ts);
    if (sig > 0) return sig;
    if (errno != EINTR) return 0;
  }
}

// A module of the bench's k-th connection (k from 1).
std::unique_ptr<SimModule> Connect(SimOptions options, unsigned k) {
  options.serial += k - 1;  // from --module-id on
  auto module = std::make_unique<SimModule>(options);
  module->Start();
  if (k == 1) {
    std::printf("kv9sim: ready on %s (%s)\n", module->PortName().c_str(), module->SlavePath().c_str());
  } else {
    std::printf("kv9sim: module %u connected on %s (%s)\n", k, module->PortName().c_str(),
                module->SlavePath().c_str());
  }
  std::fflush(stdout);
  return module;
}

// Serves module after module until SIGINT or SIGTERM.
void ServeBench(SimOptions options) {
  sigset_t all;
  sigemptyset(&all);
  sigaddset(&all, SIGINT);
  sigaddset(&all, SIGTERM);
  sigaddset(&all, SIGUSR1);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  const auto dumpDir = options.dumpDir;
  bool swapped = false;
  for (unsigned k = 1;; ++k) {
    std::unique_ptr<SimModule> module = Connect(options, k);
    // The slot keeps its number: the next module comes back on it.
    options.comNumber = static_cast<unsigned>(std::stoul(module->PortName().substr(3)));
    const int sig = WaitForSignal(all, options.swapEvery);
    if (sig == SIGINT || sig == SIGTERM) {
      if (dumpDir && swapped) module->SetDumpDir(*dumpDir / ("module-" + std::to_string(k)));
      module->Stop();
      return;
    }
    swapped = true;
    if (dumpDir) module->SetDumpDir(*dumpDir / ("module-" + std::to_string(k)));
    module->Stop();
    std::printf("kv9sim: module %u taken away\n", k);
    std::fflush(stdout);
    if (WaitForSignal(stops, options.away) != 0) return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const char* env = std::getenv("KV9_PORT_DIR");
  SimOptions options;
  std::string error;
  switch (ParseCommandLine(args, env ? env : "", &options, &error)) {
    case ParseOutcome::Help:
      std::fputs(UsageText(), stdout);
      return 0;
    case ParseOutcome::Error:
      std::fprintf(stderr, "kv9sim: %s\n%s", error.c_str(), UsageText());
      return 2;
    case ParseOutcome::Run:
      break;
  }

  // Block the signals before the module's thread exists, so it inherits
  // the mask and only the waits above ever see them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  // A reader of our stdout going away must not kill the module.
  signal(SIGPIPE, SIG_IGN);

  try {
    ServeBench(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kv9sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
