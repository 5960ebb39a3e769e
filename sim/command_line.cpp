#include "command_line.h"

#include <charconv>
#include <cstdlib>

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
         "  --dump DIR            at exit write flash, EEPROM images and summary.json to DIR\n"
         "faults (SITE is fw:SS, fw:CC:SS, boot:CC or loader:CC in hex, optionally /N for the N-th only):\n"
         "  --no-reply SITE       swallow the frame: no effect, no answer\n"
         "  --error-reply SITE=CODE   refuse with CODE (boot: command|0x80 then CODE; firmware: status byte)\n"
         "  --bad-sum SITE        answer with a checksum that is off by one\n"
         "  --bit-flip SITE=BYTE.BIT  flip bit BIT of reply byte BYTE (0 = first), sum left as sent\n"
         "  --bit-flip-summed SITE=BYTE.BIT  the same flip with the sum recomputed to match\n"
         "  --disconnect-at-block K   pull the cable when programming block K arrives\n"
         "  --power-loss-at-block K   lose power while block K is written; restart in boot mode\n"
         "  --bad-crc             the loader reports a CRC that is off by one\n"
         "  --answer-rates LIST   answer only at these bit rates (comma separated)\n";
}

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
    auto value = [&](std::string* v) {
      if (i + 1 >= args.size()) return false;
      *v = args[++i];
      return true;
    };
    std::string v;
    if (a == "-h" || a == "--help") return ParseOutcome::Help;
    if (a == "--pace") { o.pace = true; continue; }
    if (a == "--trace") { o.trace = true; continue; }
    if (a == "--bad-crc") { o.faults.badLoaderCrc = true; continue; }
    if (!value(&v)) return fail("unknown option or missing value: " + a);
    if (a == "--com") {
      if (!ParseNumber(v, &o.comNumber) || o.comNumber == 0) return fail("bad COM number: " + v);
    } else if (a == "--port-dir") {
      o.portDir = v;
    } else if (a == "--rate") {
      if (!ParseNumber(v, &o.firmwareRate) ||
          (o.firmwareRate != 9600 && o.firmwareRate != 19200 && o.firmwareRate != 38400 && o.firmwareRate != 115200)) {
        return fail("the firmware runs at 9600, 19200, 38400 or 115200 bit/s, not " + v);
      }
    } else if (a == "--model") {
      if (v.size() > 9) return fail("a model name has at most nine characters");
      o.modelName = v;
    } else if (a == "--rom-version") {
      if (v.size() > 9) return fail("a ROM version has at most nine characters");
      o.initialRomVersion = v;
    } else if (a == "--flash") {
      o.flashFile = v;
    } else if (a == "--cpu") {
      if (v == "RX231") o.cpu = Cpu::RX231;
      else if (v == "RX630") o.cpu = Cpu::RX630;
      else if (v == "RX63T") o.cpu = Cpu::RX63T;
      else return fail("unknown CPU: " + v);
    } else if (a == "--id-protect") {
      if (v == "A") o.idProtect = IdProtect::PieceA;
      else if (v == "B") o.idProtect = IdProtect::PieceB;
      else return fail("--id-protect takes A or B");
    } else if (a == "--start-in") {
      if (v == "boot") o.startIn = StartIn::Boot;
      else if (v == "firmware") o.startIn = StartIn::Firmware;
      else return fail("--start-in takes boot or firmware");
    } else if (a == "--reset-ms") {
      unsigned ms = 0;
      if (!ParseNumber(v, &ms) || ms >= 1000) return fail("--reset-ms takes 0..999");
      o.resetDelay = std::chrono::milliseconds(ms);
    } else if (a == "--power") {
      if (!ParseNumber(v, &o.powerValue)) return fail("bad power value: " + v);
    } else if (a == "--dump") {
      o.dumpDir = v;
    } else if (a == "--no-reply" || a == "--bad-sum") {
      FaultRule r;
      r.kind = a == "--no-reply" ? FaultRule::Kind::NoReply : FaultRule::Kind::BadSum;
      if (!ParseFaultSite(v, &r.site)) return fail("bad fault site: " + v);
      o.faults.rules.push_back(r);
    } else if (a == "--error-reply") {
      FaultRule r;
      r.kind = FaultRule::Kind::ErrorReply;
      const auto eq = v.find('=');
      if (eq == std::string::npos || !ParseFaultSite(v.substr(0, eq), &r.site) ||
          !ParseByteHex(v.substr(eq + 1), &r.errorCode)) {
        return fail("--error-reply takes SITE=CODE, e.g. boot:50=53");
      }
      o.faults.rules.push_back(r);
    } else if (a == "--bit-flip" || a == "--bit-flip-summed") {
      FaultRule r;
      r.kind = a == "--bit-flip" ? FaultRule::Kind::BitFlip : FaultRule::Kind::BitFlipSummed;
      if (!ParseBitFlip(v, &r)) return fail(a + " takes SITE=BYTE.BIT, e.g. boot:4F=2.0");
      o.faults.rules.push_back(r);
    } else if (a == "--disconnect-at-block") {
      if (!ParseNumber(v, &o.faults.disconnectAtBlock) || o.faults.disconnectAtBlock == 0) {
        return fail("blocks count from 1");
      }
    } else if (a == "--power-loss-at-block") {
      if (!ParseNumber(v, &o.faults.powerLossAtBlock) || o.faults.powerLossAtBlock == 0) {
        return fail("blocks count from 1");
      }
    } else if (a == "--match-rates") {
      if (!ParseRates(v, &o.matchRates)) return fail("bad rate list: " + v);
    } else if (a == "--answer-rates") {
      if (!ParseRates(v, &o.faults.answerRates)) return fail("bad rate list: " + v);
    } else {
      return fail("unknown option: " + a);
    }
  }
  if (o.portDir.empty()) return fail("no port directory: set KV9_PORT_DIR or give --port-dir");
  *options = std::move(o);
  return ParseOutcome::Run;
}

}  // namespace kv9::sim
