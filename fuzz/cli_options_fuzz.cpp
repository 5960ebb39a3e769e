// kv9flash's command line: any argument list gives either options or an
// error text, never both and never neither, and accepted options hold only
// values the rest of the program can use: a port named COM1..COM255 whose
// number is the settings' port number, a module rate
// of the four, a known microcontroller code. Arguments are the input split
// at zero bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  if (args.size() == 1 && args[0].empty()) args.clear();

  const kv9::cli::ParseResult r = kv9::cli::ParseCommandLine(args);
  KV9_FUZZ_REQUIRE(r.options.has_value() == r.error.empty());
  if (!r.options) return 0;
  const kv9::cli::CliOptions& o = *r.options;
  KV9_FUZZ_REQUIRE(o.speed == 9600 || o.speed == 19200 || o.speed == 38400 || o.speed == 115200);
  KV9_FUZZ_REQUIRE(o.settings.CpuCode >= 5 && o.settings.CpuCode <= 7);
  KV9_FUZZ_REQUIRE(o.port.rfind("COM", 0) == 0);
  const int number = std::stoi(o.port.substr(3));
  KV9_FUZZ_REQUIRE(number >= 1 && number <= 255);
  KV9_FUZZ_REQUIRE(number == o.settings.PortNumber);
  return 0;
}
