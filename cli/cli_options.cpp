#include "cli/cli_options.h"

#include <cmath>
#include <cstdlib>

#include "image/image_area.h"
#include "serial/port_table.h"

namespace kv9::cli {
namespace {

bool ParseLong(const std::string& text, long long min, long long max, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno || *end != '\0' || v < min || v > max) return false;
  *value = v;
  return true;
}

}  // namespace

const char* UsageText() {
  return "usage: kv9flash [options] [update|version|ports]      (update is the default)\n"
         "  --port COMn          port to use (default COM1)\n"
         "  --auto               search every listed port\n"
         "  --rewrite            re-write mode: no module command, port opened at --speed\n"
         "  --speed BPS          module bit rate for --rewrite: 9600, 19200 (default), 38400, 115200\n"
         "  --image FILE         load an Intel HEX (.hex) or S-record (.mot) file first\n"
         "  --cpu RX231|RX630|RX63T   --rom-size 256K   --boot-rate BPS   --freq MHZ\n"
         "  --mult1 N  --mult2 N  --reset-wait MS  --no-init  --scan-mode\n"
         "  --debug  --tx-log  --rx-log       show trace lines, transmitted and received bytes\n"
         "exit status: 0 success, 1 the command ran and failed, 2 bad usage or bad input\n";
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions o;
  bool commandSeen = false;
  auto fail = [](const std::string& message) { return ParseResult{std::nullopt, message}; };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    long long n = 0;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--auto") {
      o.autoCheck = true;
    } else if (a == "--rewrite") {
      o.reWrite = true;
    } else if (a == "--no-init") {
      o.update.InitAfterUpdate = 0;
    } else if (a == "--scan-mode") {
      o.update.InitScanMode = 1;
    } else if (a == "--debug") {
      o.debug = true;
    } else if (a == "--tx-log") {
      o.txLog = true;
    } else if (a == "--rx-log") {
      o.rxLog = true;
    } else if (a == "--port") {
      if (!value(&v)) return fail("--port needs a port name");
      const auto number = ComPortNumber(v);
      if (!number) return fail("unknown port name '" + v + "' (expected COM1 to COM255)");
      o.port = "COM" + std::to_string(*number);
      o.settings.PortNumber = *number;
    } else if (a == "--speed") {
      if (!value(&v) || !ParseLong(v, 0, 1 << 30, &n) || (n != 9600 && n != 19200 && n != 38400 && n != 115200)) {
        return fail("--speed takes 9600, 19200, 38400 or 115200");
      }
      o.speed = static_cast<std::int32_t>(n);
    } else if (a == "--image") {
      if (!value(&v)) return fail("--image needs a file name");
      o.imageFile = v;
    } else if (a == "--cpu") {
      if (!value(&v)) return fail("--cpu needs RX231, RX630 or RX63T");
      if (v == "RX231") o.settings.CpuCode = 5;
      else if (v == "RX630") o.settings.CpuCode = 6;
      else if (v == "RX63T") o.settings.CpuCode = 7;
      else return fail("--cpu takes RX231, RX630 or RX63T");
    } else if (a == "--rom-size") {
      if (!value(&v)) return fail("--rom-size needs a size such as 256K");
      int index = -1;
      for (int k = 0; k < kRomSizeCount; ++k) {
        if (v == kRomSizeNames[k]) index = k;
      }
      if (index < 0) return fail("unknown ROM size '" + v + "'");
      o.settings.RomSizeIndex = index;
    } else if (a == "--boot-rate") {
      if (!value(&v) || !ParseLong(v, 1, 100000000, &n)) return fail("--boot-rate takes a bit rate");
      o.settings.BootBitRate = static_cast<std::int32_t>(n);
    } else if (a == "--freq") {
      char* end = nullptr;
      if (!value(&v)) return fail("--freq takes a frequency in MHz");
      const double mhz = std::strtod(v.c_str(), &end);
      if (v.empty() || *end != '\0' || !std::isfinite(mhz) || mhz < 0 || mhz > 1000) {
        return fail("--freq takes a frequency in MHz");
      }
      o.settings.InputFreqMHz = static_cast<float>(mhz);
    } else if (a == "--mult1" || a == "--mult2") {
      if (!value(&v) || !ParseLong(v, 0, 255, &n)) return fail(a + " takes a number from 0 to 255");
      (a == "--mult1" ? o.settings.Multiplier1 : o.settings.Multiplier2) = static_cast<std::uint8_t>(n);
    } else if (a == "--reset-wait") {
      if (!value(&v) || !ParseLong(v, 0, 600000, &n)) return fail("--reset-wait takes milliseconds");
      o.update.ResetWaitMs = static_cast<std::int32_t>(n);
    } else if (!a.empty() && a[0] == '-') {
      return fail("unknown option '" + a + "'");
    } else if (!commandSeen && (a == "update" || a == "version" || a == "ports")) {
      commandSeen = true;
      o.command = a == "update" ? Command::Update : a == "version" ? Command::Version : Command::Ports;
    } else {
      return fail("unexpected argument '" + a + "'");
    }
  }
  return ParseResult{o, ""};
}

}  // namespace kv9::cli
