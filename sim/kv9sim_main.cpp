// kv9sim: the simulated reader/writer module as a program. It publishes its
// port, prints one ready line, serves until SIGINT or SIGTERM, then removes
// its port and writes the dump if asked. On a bench it also swaps modules:
// SIGUSR1 (or every --swap-every) takes the module away with its port and,
// after --away-ms, connects a fresh one on the same COM number (with
// --swap-in-place the port stays open and only the module behind it
// changes); SIGUSR2 switches the module off and on in place.
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
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

// The module behind the port that stays open, switched off and on
// (SIGUSR2) as often as asked, until another signal comes; returns it.
int WaitSwitchingOffAndOn(SimModule& module, unsigned k, const sigset_t& all, std::chrono::milliseconds every) {
  for (;;) {
    const int sig = WaitForSignal(all, every);
    if (sig != SIGUSR2) return sig;
    module.PowerCycle(module.Options().resetDelay);
    std::printf("kv9sim: module %u switched off and on\n", k);
    std::fflush(stdout);
  }
}

// Serves module after module until SIGINT or SIGTERM.
void ServeBench(SimOptions options) {
  sigset_t all;
  sigemptyset(&all);
  for (int sig : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) sigaddset(&all, sig);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  const auto dumpDir = options.dumpDir;
  auto moduleDump = [&dumpDir](unsigned k) -> std::optional<std::filesystem::path> {
    if (!dumpDir) return std::nullopt;
    return *dumpDir / ("module-" + std::to_string(k));
  };
  bool swapped = false;
  std::unique_ptr<SimModule> module;
  for (unsigned k = 1;; ++k) {
    if (!module) module = Connect(options, k);
    // The slot keeps its number: the next module comes back on it.
    options.comNumber = static_cast<unsigned>(std::stoul(module->PortName().substr(3)));
    const int sig = WaitSwitchingOffAndOn(*module, k, all, options.swapEvery);
    if (sig == SIGINT || sig == SIGTERM) {
      if (swapped) module->SetDumpDir(*moduleDump(k));
      module->Stop();
      return;
    }
    swapped = true;
    std::printf("kv9sim: module %u taken away\n", k);
    std::fflush(stdout);
    if (options.swapInPlace) {
      module->SwapBehindPort(k, options.away, moduleDump(k));
      std::printf("kv9sim: module %u connected on %s (%s)\n", k + 1, module->PortName().c_str(),
                  module->SlavePath().c_str());
      std::fflush(stdout);
      continue;
    }
    if (dumpDir) module->SetDumpDir(*moduleDump(k));
    module->Stop();
    module.reset();
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
  sigaddset(&signals, SIGUSR2);
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
