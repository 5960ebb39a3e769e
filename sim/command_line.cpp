#include "command_line.h"

#include <charconv>
#include <cstdlib>
#include <optional>

namespace kv9::sim {

namespace {

template <typename T>
bool ParseNumber(const std::string& s, T* out, int base = 10) {
  if (s.empty()) return false;
  const char* first = s.data();
  if (base == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) first += 2;
  T v{};
  const auto [ptr, ec] = std::from_chars(first, s.data() + s.size(), v, base);
  if (ec != std::errc() || ptr != s.data() + s.size()) return false;
  *out = v;
  return true;
}

bool ParseByteHex(const std::string& s, std::uint8_t* out) {
  unsigned v = 0;
  if (!ParseNumber(s, &v, 16) || v > 0xFF) return false;
  *out = static_cast<std::uint8_t>(v);
  return true;
}

bool ParseRates(const std::string& s, std::vector<std::uint32_t>* out) {
  std::size_t start = 0;
  out->clear();
  while (start <= s.size()) {
    const std::size_t comma = s.find(',', start);
    const std::string part = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::uint32_t r = 0;
    if (!ParseNumber(part, &r) || r == 0) return false;
    out->push_back(r);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !out->empty();
}

}  // namespace

bool ParseBitFlip(const std::string& text, FaultRule* rule) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || !ParseFaultSite(text.substr(0, eq), &rule->site)) return false;
  const std::string where = text.substr(eq + 1);
  const auto dot = where.find('.');
  if (dot == std::string::npos) return false;
  unsigned bit = 0;
  if (!ParseNumber(where.substr(0, dot), &rule->flipByte) || !ParseNumber(where.substr(dot + 1), &bit) ||
      bit > 7) {
    return false;
  }
  rule->flipBit = static_cast<std::uint8_t>(bit);
  return true;
}

bool ParseFaultSite(const std::string& text, FaultSite* site) {
  std::string s = text;
  FaultSite f;
  if (const auto slash = s.find('/'); slash != std::string::npos) {
    if (!ParseNumber(s.substr(slash + 1), &f.occurrence) || f.occurrence == 0) return false;
    s.resize(slash);
  }
  const auto colon = s.find(':');
  if (colon == std::string::npos) return false;
  const std::string side = s.substr(0, colon);
  const std::string rest = s.substr(colon + 1);
  if (side == "fw") {
    f.side = FaultSite::Side::Firmware;
    if (const auto c2 = rest.find(':'); c2 != std::string::npos) {
      std::uint8_t frameCode = 0;
      if (!ParseByteHex(rest.substr(0, c2), &frameCode)) return false;
      f.frameCode = frameCode;
      if (!ParseByteHex(rest.substr(c2 + 1), &f.code)) return false;
    } else if (!ParseByteHex(rest, &f.code)) {
      return false;
    }
  } else if (side == "boot" || side == "loader") {
    f.side = FaultSite::Side::Boot;
    if (!ParseByteHex(rest, &f.code)) return false;
  } else {
    return false;
  }
  *site = f;
  return true;
}

const char* UsageText() {
  return "usage: kv9sim [options]\n"
         "  --com N               publish the port as COM<N> (default: lowest free number)\n"
         "  --port-dir DIR        directory of the COM links (default: $KV9_PORT_DIR)\n"
         "  --rate BPS            normal firmware bit rate: 9600, 19200 (default), 38400, 115200\n"
         "  --model NAME          model name the firmware reports (default Q508)\n"
         "  --rom-version TEXT    version text of the firmware in flash at start (default V1.00.00)\n"
         "  --flash FILE          raw flash image placed to end at 0xFFFFFFFF (replaces the factory firmware)\n"
         "  --cpu RX231|RX630|RX63T   microcontroller (default RX231)\n"
         "  --id-protect A|B      protect the flash with ID code piece A or B\n"
         "  --start-in boot|firmware  start in boot mode, as left by a failed update (default firmware)\n"
         "  --reset-ms MS         microcontroller restart time (default 400, below 1000)\n"
         "  --power N             transmitter power the firmware measures (default 243)\n"
         "  --pace                every byte takes 10 bit times at the current rate\n"
         "  --match-rates LIST    rates the boot program matches at (default 9600,19200)\n"
         "  --trace               log every frame with its rate to stderr\n"
         "  --adapter-latency MS  the tool's end is a USB adapter with this latency timer (1..255):\n"
         "                        the module's bytes reach the tool when 62 are waiting or MS ms\n"
         "                        have passed since the first of them\n"
         "  --low-latency-on-open\n"
         "                        the adapter takes the tool's low-latency request: 1 ms while\n"
         "                        the tool holds the port (a pty cannot carry the request);\n"
         "                        without --adapter-latency the adapter's timer is 16 ms\n"
         "  --dump DIR            at exit write flash, EEPROM images and summary.json to DIR\n"
         "  --module-id N         this module's own calibration words in its EEPROM (0..255, default 0)\n"
         "  --eeprom DIR          start with the EEPROM a dump in DIR holds (a module switched off and on)\n"
         "                        (on a bench: each module into DIR/module-<k> when it is taken away)\n"
         "a production bench (SIGUSR1 takes the module away at any time, SIGUSR2 switches it off and on):\n"
         "  --swap-every SECONDS  take the module away with its port every SECONDS and connect a fresh one\n"
         "  --away-ms MS          how long the port stays away at a swap (default 1000)\n"
         "  --swap-in-place       a swap keeps the port open: only the module behind it changes\n"
         "                        (nothing answers for --away-ms)\n"
         "faults (SITE is fw:SS, fw:CC:SS, boot:CC or loader:CC in hex, optionally /N for the N-th only):\n"
         "  --no-reply SITE       swallow the frame: no effect, no answer\n"
         "  --disconnect SITE     pull the cable when the frame arrives: no effect, the port goes away\n"
         "  --error-reply SITE=CODE   refuse with CODE (boot: command|0x80 then CODE; firmware: status byte)\n"
         "  --bad-sum SITE        answer with a checksum that is off by one\n"
         "  --bit-flip SITE=BYTE.BIT  flip bit BIT of reply byte BYTE (0 = first), sum left as sent\n"
         "  --bit-flip-summed SITE=BYTE.BIT  the same flip with the sum recomputed to match\n"
         "  --disconnect-at-block K   pull the cable when programming block K arrives\n"
         "  --power-loss-at-block K   lose power while block K is written; restart in boot mode\n"
         "  --bad-crc             the loader reports a CRC that is off by one\n"
         "  --answer-rates LIST   answer only at these bit rates (comma separated)\n";
}

namespace {

// One option that takes a value: it either stores it in the options or
// returns the reason it was refused.
using Store = std::optional<std::string> (*)(const std::string& v, SimOptions& o);
struct ValueOption {
  const char* name;
  Store store;
};

std::optional<std::string> StoreRate(const std::string& v, SimOptions& o) {
  const bool known = ParseNumber(v, &o.firmwareRate) && (o.firmwareRate == 9600 || o.firmwareRate == 19200 ||
                                                         o.firmwareRate == 38400 || o.firmwareRate == 115200);
  if (known) return std::nullopt;
  return "the firmware runs at 9600, 19200, 38400 or 115200 bit/s, not " + v;
}

std::optional<std::string> StoreText(const std::string& v, std::string* to, const char* what) {
  if (v.size() > 9) return std::string("a ") + what + " has at most nine characters";
  *to = v;
  return std::nullopt;
}

std::optional<std::string> StoreCpu(const std::string& v, SimOptions& o) {
  for (Cpu cpu : {Cpu::RX231, Cpu::RX630, Cpu::RX63T}) {
    if (v == CpuName(cpu)) {
      o.cpu = cpu;
      return std::nullopt;
    }
  }
  return "unknown CPU: " + v;
}

std::optional<std::string> StoreIdProtect(const std::string& v, SimOptions& o) {
  if (v != "A" && v != "B") return "--id-protect takes A or B";
  o.idProtect = v == "A" ? IdProtect::PieceA : IdProtect::PieceB;
  return std::nullopt;
}

std::optional<std::string> StoreStartIn(const std::string& v, SimOptions& o) {
  if (v != "boot" && v != "firmware") return "--start-in takes boot or firmware";
  o.startIn = v == "boot" ? StartIn::Boot : StartIn::Firmware;
  return std::nullopt;
}

std::optional<std::string> StoreResetMs(const std::string& v, SimOptions& o) {
  unsigned ms = 0;
  if (!ParseNumber(v, &ms) || ms >= 1000) return "--reset-ms takes 0..999";
  o.resetDelay = std::chrono::milliseconds(ms);
  return std::nullopt;
}

std::optional<std::string> StoreSiteFault(const std::string& v, SimOptions& o, FaultRule::Kind kind) {
  FaultRule r;
  r.kind = kind;
  if (!ParseFaultSite(v, &r.site)) return "bad fault site: " + v;
  o.faults.rules.push_back(r);
  return std::nullopt;
}

std::optional<std::string> StoreErrorReply(const std::string& v, SimOptions& o) {
  FaultRule r;
  r.kind = FaultRule::Kind::ErrorReply;
  const auto eq = v.find('=');
  if (eq == std::string::npos || !ParseFaultSite(v.substr(0, eq), &r.site) ||
      !ParseByteHex(v.substr(eq + 1), &r.errorCode)) {
    return "--error-reply takes SITE=CODE, e.g. boot:50=53";
  }
  o.faults.rules.push_back(r);
  return std::nullopt;
}

std::optional<std::string> StoreBitFlip(const std::string& v, SimOptions& o, FaultRule::Kind kind,
                                        const char* name) {
  FaultRule r;
  r.kind = kind;
  if (!ParseBitFlip(v, &r)) return std::string(name) + " takes SITE=BYTE.BIT, e.g. boot:4F=2.0";
  o.faults.rules.push_back(r);
  return std::nullopt;
}

std::optional<std::string> StoreBlock(const std::string& v, unsigned* block) {
  if (!ParseNumber(v, block) || *block == 0) return "blocks count from 1";
  return std::nullopt;
}

std::optional<std::string> StoreSwapEvery(const std::string& v, SimOptions& o) {
  double seconds = 0;
  char* end = nullptr;
  seconds = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400) return "--swap-every takes seconds";
  o.swapEvery = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  return std::nullopt;
}

std::optional<std::string> StoreAway(const std::string& v, SimOptions& o) {
  unsigned ms = 0;
  if (!ParseNumber(v, &ms) || ms > 600000) return "--away-ms takes milliseconds";
  o.away = std::chrono::milliseconds(ms);
  return std::nullopt;
}

std::optional<std::string> StoreAdapterLatency(const std::string& v, SimOptions& o) {
  unsigned ms = 0;
  // The FTDI driver takes 1..255 ms.
  if (!ParseNumber(v, &ms) || ms == 0 || ms > 255) return "--adapter-latency takes 1..255 ms";
  o.adapterLatency = std::chrono::milliseconds(ms);
  return std::nullopt;
}

std::optional<std::string> StoreRates(const std::string& v, std::vector<std::uint32_t>* rates) {
  if (!ParseRates(v, rates)) return "bad rate list: " + v;
  return std::nullopt;
}

using K = FaultRule::Kind;
using R = std::optional<std::string>;
const ValueOption kValueOptions[] = {
    {"--com",
     [](const std::string& v, SimOptions& o) -> R {
       if (ParseNumber(v, &o.comNumber) && o.comNumber != 0) return std::nullopt;
       return "bad COM number: " + v;
     }},
    {"--port-dir", [](const std::string& v, SimOptions& o) -> R { o.portDir = v; return std::nullopt; }},
    {"--rate", StoreRate},
    {"--model", [](const std::string& v, SimOptions& o) { return StoreText(v, &o.modelName, "model name"); }},
    {"--rom-version",
     [](const std::string& v, SimOptions& o) { return StoreText(v, &o.initialRomVersion, "ROM version"); }},
    {"--flash", [](const std::string& v, SimOptions& o) -> R { o.flashFile = v; return std::nullopt; }},
    {"--cpu", StoreCpu},
    {"--id-protect", StoreIdProtect},
    {"--start-in", StoreStartIn},
    {"--reset-ms", StoreResetMs},
    {"--power",
     [](const std::string& v, SimOptions& o) -> R {
       if (ParseNumber(v, &o.powerValue)) return std::nullopt;
       return "bad power value: " + v;
     }},
    {"--dump", [](const std::string& v, SimOptions& o) -> R { o.dumpDir = v; return std::nullopt; }},
    {"--module-id",
     [](const std::string& v, SimOptions& o) -> R {
       if (ParseNumber(v, &o.serial) && o.serial <= 255) return std::nullopt;
       return "--module-id takes 0..255";
     }},
    {"--eeprom", [](const std::string& v, SimOptions& o) -> R { o.eepromDir = v; return std::nullopt; }},
    {"--no-reply", [](const std::string& v, SimOptions& o) { return StoreSiteFault(v, o, K::NoReply); }},
    {"--disconnect", [](const std::string& v, SimOptions& o) { return StoreSiteFault(v, o, K::Disconnect); }},
    {"--bad-sum", [](const std::string& v, SimOptions& o) { return StoreSiteFault(v, o, K::BadSum); }},
    {"--error-reply", StoreErrorReply},
    {"--bit-flip",
     [](const std::string& v, SimOptions& o) { return StoreBitFlip(v, o, K::BitFlip, "--bit-flip"); }},
    {"--bit-flip-summed",
     [](const std::string& v, SimOptions& o) {
       return StoreBitFlip(v, o, K::BitFlipSummed, "--bit-flip-summed");
     }},
    {"--disconnect-at-block",
     [](const std::string& v, SimOptions& o) { return StoreBlock(v, &o.faults.disconnectAtBlock); }},
    {"--power-loss-at-block",
     [](const std::string& v, SimOptions& o) { return StoreBlock(v, &o.faults.powerLossAtBlock); }},
    {"--match-rates", [](const std::string& v, SimOptions& o) { return StoreRates(v, &o.matchRates); }},
    {"--answer-rates",
     [](const std::string& v, SimOptions& o) { return StoreRates(v, &o.faults.answerRates); }},
    {"--swap-every", StoreSwapEvery},
    {"--away-ms", StoreAway},
    {"--adapter-latency", StoreAdapterLatency},
};

// The switches without a value; true when `a` was one of them.
bool TakeSwitch(const std::string& a, SimOptions& o) {
  if (a == "--pace") o.pace = true;
  else if (a == "--trace") o.trace = true;
  else if (a == "--bad-crc") o.faults.badLoaderCrc = true;
  else if (a == "--low-latency-on-open") o.lowLatencyOnOpen = true;
  else if (a == "--swap-in-place") o.swapInPlace = true;
  else return false;
  return true;
}

const ValueOption* FindValueOption(const std::string& name) {
  for (const ValueOption& option : kValueOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

}  // namespace

ParseOutcome ParseCommandLine(const std::vector<std::string>& args, const std::string& envPortDir,
                              SimOptions* options, std::string* error) {
  SimOptions o;
  o.portDir = envPortDir;
  auto fail = [error](const std::string& what) {
    *error = what;
    return ParseOutcome::Error;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") return ParseOutcome::Help;
    if (TakeSwitch(a, o)) continue;
    if (i + 1 >= args.size()) return fail("unknown option or missing value: " + a);
    const ValueOption* option = FindValueOption(a);
    if (!option) return fail("unknown option: " + a);
    if (auto refused = option->store(args[++i], o)) return fail(*refused);
  }
  // The request needs an adapter to take it: one with the FTDI default timer.
  if (o.lowLatencyOnOpen && o.adapterLatency.count() == 0) o.adapterLatency = std::chrono::milliseconds(16);
  if (o.portDir.empty()) return fail("no port directory: set KV9_PORT_DIR or give --port-dir");
  *options = std::move(o);
  return ParseOutcome::Run;
}

}  // namespace kv9::sim
