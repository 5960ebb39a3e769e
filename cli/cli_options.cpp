#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "boot/cpu_profile.h"
#include "image/image_area.h"
#include "link/module_rates.h"
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
  // The CPU names come from the CPU table, so a new row is offered here too.
  static const std::string text = std::string(
         "usage: kv9flash [options] [update|version|ports|info]      (update is the default)\n"
         "  update               write the firmware image into the module\n"
         "  version              find the module and read its ROM version\n"
         "  ports                list the ports: name, device path, description\n"
         "  info                 what the image holds, without touching a port\n"
         "  --port COMn          port to use (default COM1); give it several times, or a comma\n"
         "                       list (--port COM3,COM4), to update several modules at once,\n"
         "                       one process per port, lines prefixed \"COMn: \", a closing table\n"
         "  --auto               search every listed port\n"
         "  --rewrite            re-write mode: no module command, port opened at --speed\n"
         "  --speed BPS          module bit rate for --rewrite: 9600, 19200 (default), 38400, "
         "115200\n"
         "  --image FILE         load an Intel HEX (.hex) or S-record (.mot) file first\n"
         ) +
      "  --cpu " + CpuNameList("|", "|") + "   microcontroller of the module (default " +
      CpuProfileFor(kDefaultCpuCode).name + ")\n" +
      std::string(
         "  --rom-size SIZE      flash area: 4K 8K 12K 16K 24K 32K 48K 64K 96K 128K 192K 256K\n"
         "                       320K 384K 512K 768K 1M 1.5M 2M (default 256K)\n"
         "  --boot-rate BPS      bit rate the boot-mode handshake switches to (default 115200)\n"
         "  --freq MHZ           input clock of the microcontroller (default 13.56)\n"
         "  --mult1 N  --mult2 N clock multiplication ratios (default 4 and 2)\n"
         "  --reset-wait MS      wait after the boot-mode request and after the restart\n"
         "                       (default 1000)\n"
         "  --no-init            no factory-setting restore after the update\n"
         "  --scan-mode          the factory-setting restore also initialises the all-data image\n"
         "  --debug              show every log line, trace lines included\n"
         "  --tx-log  --rx-log   show the bytes sent / received (\"TX: \" / \"RX: \" lines)\n"
         "  --quiet, -q          no progress line, no closing summary or table on stderr\n"
         "  --log-dir DIR        write a record of each run and port into DIR (default: the\n"
         "                       environment variable KV9FLASH_LOG_DIR, else none)\n"
         "  --version            print the program's version\n"
         "  --help, -h           print this text\n"
         "stdout carries the log lines; stderr carries messages (\"error: ...\"), the progress\n"
         "line (only when stderr is a terminal), the closing summary and, after a failure,\n"
         "the command that continues from the module's state (\"continue with: kv9flash ...\").\n"
         "Ctrl+C or SIGTERM before the update's first frame ends at once; later the run stops\n"
         "before its next frame, ends as a failure with its advice and exits 130 or 143;\n"
         "once the firmware was written and checked, the run is finished instead.\n"
         "SIGHUP and a closed output pipe do not stop a run.\n"
         "exit status: 0 success (every port), 1 the command ran and failed (any port),\n"
         "             2 bad usage or bad input, 130/143 stopped by SIGINT/SIGTERM\n");
  return text.c_str();
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
    } else if (a == "--quiet" || a == "-q") {
      o.quiet = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--log-dir") {
      if (!value(&v) || v.empty()) return fail("--log-dir needs a folder");
      o.logDir = v;
    } else if (a == "--port") {
      if (!value(&v)) return fail("--port needs a port name");
      std::size_t from = 0;
      for (;;) {
        const std::size_t comma = v.find(',', from);
        const std::string name =
            v.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        const auto number = ComPortNumber(name);
        if (!number) return fail("unknown port name '" + name + "' (expected COM1 to COM255)");
        const std::string canonical = "COM" + std::to_string(*number);
        if (std::find(o.ports.begin(), o.ports.end(), canonical) == o.ports.end())
          o.ports.push_back(canonical);
        if (comma == std::string::npos) break;
        from = comma + 1;
      }
    } else if (a == "--speed") {
      if (!value(&v) || !ParseLong(v, 0, 1 << 30, &n) || !IsModuleRate(static_cast<std::int32_t>(n))) {
        return fail("--speed takes 9600, 19200, 38400 or 115200");
      }
      o.speed = static_cast<std::int32_t>(n);
    } else if (a == "--image") {
      if (!value(&v)) return fail("--image needs a file name");
      o.imageFile = v;
    } else if (a == "--cpu") {
      if (!value(&v)) return fail("--cpu needs " + CpuNameList(", ", " or "));
      const CpuProfile* cpu = CpuProfileNamed(v.c_str());
      if (!cpu) return fail("--cpu takes " + CpuNameList(", ", " or "));
      o.settings.CpuCode = cpu->code;
    } else if (a == "--rom-size") {
      if (!value(&v)) return fail("--rom-size needs a size such as 256K");
      int index = -1;
      for (int k = 0; k < kRomSizeCount; ++k) {
        if (v == kRomSizeNames[k]) index = k;
      }
      if (index < 0) return fail("unknown ROM size '" + v + "'");
      o.settings.RomSizeIndex = index;
    } else if (a == "--boot-rate") {
      if (!value(&v) || !ParseLong(v, 1, 100000000, &n))
        return fail("--boot-rate takes a bit rate");
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
      (a == "--mult1" ? o.settings.Multiplier1 : o.settings.Multiplier2) =
          static_cast<std::uint8_t>(n);
    } else if (a == "--reset-wait") {
      if (!value(&v) || !ParseLong(v, 0, 600000, &n))
        return fail("--reset-wait takes milliseconds");
      o.update.ResetWaitMs = static_cast<std::int32_t>(n);
    } else if (!a.empty() && a[0] == '-') {
      return fail("unknown option '" + a + "'");
    } else if (!commandSeen && (a == "update" || a == "version" || a == "ports" || a == "info")) {
      commandSeen = true;
      o.command = a == "update"    ? Command::Update
                  : a == "version" ? Command::Version
                  : a == "ports"   ? Command::Ports
                                   : Command::Info;
    } else {
      return fail("unexpected argument '" + a + "'");
    }
  }
  if (!o.ports.empty()) {
    o.port = o.ports.front();
    o.settings.PortNumber = *ComPortNumber(o.port);
  } else {
    o.ports.push_back(o.port);
  }
  // Re-write mode sends no module command, so there is no ROM version to read.
  if (o.reWrite && o.command == Command::Version)
    return fail("--rewrite cannot be used with version");
  if (o.ports.size() > 1 && o.autoCheck)
    return fail("--auto searches for one module; it cannot go with several ports");
  return ParseResult{o, ""};
}

std::string ShellQuote(const std::string& word) {
  const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-_./,:=+@%", c) != nullptr;
  });
  if (plain) return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> SettingsArguments(const CliOptions& o) {
  const TProgSettings defaults;
  const UpdateOptions updateDefaults;
  std::vector<std::string> args;
  auto add = [&](const char* option, const std::string& value) {
    args.push_back(option);
    args.push_back(value);
  };
  if (!o.imageFile.empty()) add("--image", ShellQuote(o.imageFile));
  const TProgSettings& s = o.settings;
  if (s.CpuCode != defaults.CpuCode)
    add("--cpu", CpuProfileFor(s.CpuCode).name);
  if (s.RomSizeIndex != defaults.RomSizeIndex) add("--rom-size", kRomSizeNames[s.RomSizeIndex]);
  if (s.BootBitRate != defaults.BootBitRate) add("--boot-rate", std::to_string(s.BootBitRate));
  if (s.InputFreqMHz != defaults.InputFreqMHz) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(s.InputFreqMHz));
    add("--freq", text);
  }
  if (s.Multiplier1 != defaults.Multiplier1) add("--mult1", std::to_string(s.Multiplier1));
  if (s.Multiplier2 != defaults.Multiplier2) add("--mult2", std::to_string(s.Multiplier2));
  if (o.update.ResetWaitMs != updateDefaults.ResetWaitMs)
    add("--reset-wait", std::to_string(o.update.ResetWaitMs));
  if (!o.update.InitAfterUpdate) args.push_back("--no-init");
  if (o.update.InitScanMode) args.push_back("--scan-mode");
  return args;
}

}  // namespace kv9::cli
