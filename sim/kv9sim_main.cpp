// kv9sim: the simulated reader/writer module as a program. It publishes its
// port, prints one ready line, serves until SIGINT or SIGTERM, then removes
// its port and writes the dump if asked.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "command_line.h"
#include "sim_module.h"

int main(int argc, char** argv) {
  using namespace kv9::sim;
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

  // Block the stop signals before the module's thread exists, so it inherits
  // the mask and only sigwait below ever sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  // A reader of our stdout going away must not kill the module.
  signal(SIGPIPE, SIG_IGN);

  try {
    SimModule module(options);
    module.Start();
    std::printf("kv9sim: ready on %s (%s)\n", module.PortName().c_str(), module.SlavePath().c_str());
    std::fflush(stdout);
    int sig = 0;
    sigwait(&stopSignals, &sig);
    module.Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kv9sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
