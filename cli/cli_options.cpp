#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "boot/cpu_profile.h"
#include "fleet/broker_address.h"
#include "fleet/topics.h"
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

std::string CpuNames();

// The default CPU, as the settings record starts.
std::string DefaultCpuName() { return CpuProfileFor(kDefaultCpuCode).name; }

// The broker's options, kept apart from the rest for their length.
std::string BrokerUsageText() {
  return "  --mqtt URL           also publish each report (and a station's slot states and status)\n"
         "                       to the MQTT broker at mqtt://HOST[:PORT] or mqtts://HOST[:PORT]\n"
         "                       (TLS, the system's CA store); reports wait in a spool folder\n"
         "                       until the broker has taken them\n"
         "  --station-name NAME  the name under kv9/NAME/ and in each report (default: the host name)\n"
         "  --mqtt-user NAME     the user name for the broker\n"
         "  --mqtt-password-file FILE  the broker password, the first line of FILE (else the\n"
         "                       environment variable KV9_MQTT_PASSWORD; never on the command line)\n";
}

// The commands part of the usage text.
std::string CommandsText() {
  return "usage: kv9flash [options] [update|version|ports|info|restore|station]      (update is the default)\n"
         "  update               write the firmware image into the module\n"
         "  version              find the module and read its ROM version\n"
         "  restore              only the factory-setting step on a module running its firmware:\n"
         "                       the EEPROM copied to disk, initialised, its values written back\n"
         "  restore --from FILE  the factory-setting step continued from an EEPROM backup file\n"
         "                       (the way on after a broken-off restore): the file's images as\n"
         "                       the settings before it, initialised, the renewed words taken\n"
         "                       from the fresh factory data, written and read back; the module\n"
         "                       ends as after a good update\n"
         "  restore --roll-back FILE  the EEPROM roll-back: the file's images written back as\n"
         "                       they are, no initialisation\n"
         "                       Both first keep what the module holds in a new copy; a file\n"
         "                       that fails its check, or another module's file (factory data\n"
         "                       that differs from the module's), is refused with exit status 2\n"
         "  --other-module       write another module's backup file all the same\n"
         "  station              a production bench: until Ctrl+C, update each module as it is\n"
         "                       connected to one of the --port ports, once; a live table on a\n"
         "                       terminal, else one line per event; exit 0 when every module\n"
         "                       of the shift was updated, 1 when any failed\n"
         "  ports                list the ports: name, device path, description, stable names,\n"
         "                       the adapter's latency timer where the driver tells\n"
         "  info                 what the image holds, without touching a port\n";
}

std::string UsageTextFor(const std::string& cpuNames) {
  return CommandsText() +
         "  --port COMn          port to use (default COM1); give it several times, or a comma\n"
         "                       list (--port COM3,COM4), to update several modules at once,\n"
         "                       one process per port, lines prefixed \"COMn: \", a closing table\n"
         "  --auto               search every listed port\n"
         "  --rewrite            re-write mode: no module command, port opened at --speed\n"
         "  --speed BPS          module bit rate for --rewrite: 9600, 19200 (default), 38400, "
         "115200\n"
         "  --image FILE         load an Intel HEX (.hex) or S-record (.mot) file first\n"
         "  --cpu CPU            microcontroller of the module: " + cpuNames + " (default " +
         DefaultCpuName() + ")\n"
         "  --rom-size SIZE      flash area: 4K 8K 12K 16K 24K 32K 48K 64K 96K 128K 192K 256K\n"
         "                       320K 384K 512K 768K 1M 1.5M 2M (default 256K)\n"
         "  --boot-rate BPS      bit rate the boot-mode handshake switches to (default 115200)\n"
         "  --freq MHZ           input clock of the microcontroller (default 13.56)\n"
         "  --mult1 N  --mult2 N clock multiplication ratios (default 4 and 2)\n"
         "  --reset-wait MS      wait after the boot-mode request and after the restart\n"
         "                       (default 1000)\n"
         "  --backup PATH        before the erase, read the firmware the update replaces into\n"
         "                       an S-record file PATH (a folder, ending in '/' or existing,\n"
         "                       gets fw-DATE-TIME-COMn-ROMVERSION.mot; several ports: a folder;\n"
         "                       an existing file is kept, the copy gets a -2, -3 ... name);\n"
         "                       --image FILE with that file writes the old firmware back\n"
         "  --skip-current       leave a module alone that already runs the image's version\n"
         "                       (exit status 0); with --rewrite it does not apply\n"
         "  --no-init            no factory-setting restore after the update\n"
         "  --scan-mode          the factory-setting restore also initialises the all-data image\n"
         "  --debug              show every log line, trace lines included\n"
         "  --tx-log  --rx-log   show the bytes sent / received (\"TX: \" / \"RX: \" lines)\n"
         "  --quiet, -q          no progress line, no closing summary or table on stderr\n"
         "  --log-dir DIR        write a record of each run and port into DIR (default: the\n"
         "                       environment variable KV9FLASH_LOG_DIR, else none)\n"
         "  --report FILE        write the run's outcome as JSON (one object per port, a line each)\n"
       + BrokerUsageText() +
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
         "             2 bad usage or bad input, 130/143 stopped by SIGINT/SIGTERM\n";
}

}  // namespace

const char* UsageText() {
  static const std::string text = UsageTextFor(CpuNames());
  return text.c_str();
}

namespace {

// "RX231, RX630 or RX63T", from the CPU table.
std::string CpuNames() { return CpuNameList(", ", " or "); }

// Options without a value.
struct FlagOption {
  const char* name;
  void (*set)(CliOptions& o);
};
constexpr FlagOption kFlags[] = {
    {"--help", [](CliOptions& o) { o.help = true; }},
    {"-h", [](CliOptions& o) { o.help = true; }},
    {"--auto", [](CliOptions& o) { o.autoCheck = true; }},
    {"--rewrite", [](CliOptions& o) { o.reWrite = true; }},
    {"--no-init", [](CliOptions& o) { o.update.InitAfterUpdate = 0; }},
    {"--skip-current", [](CliOptions& o) { o.update.SkipCurrent = 1; }},
    {"--scan-mode", [](CliOptions& o) { o.update.InitScanMode = 1; }},
    {"--debug", [](CliOptions& o) { o.debug = true; }},
    {"--tx-log", [](CliOptions& o) { o.txLog = true; }},
    {"--rx-log", [](CliOptions& o) { o.rxLog = true; }},
    {"--quiet", [](CliOptions& o) { o.quiet = true; }},
    {"-q", [](CliOptions& o) { o.quiet = true; }},
    {"--version", [](CliOptions& o) { o.version = true; }},
    {"--other-module", [](CliOptions& o) { o.otherModule = true; }},
};

// Options with a value: each returns "" or what is wrong with the value.
using ValueSetter = std::string (*)(CliOptions& o, const std::string& v);

std::string SetPorts(CliOptions& o, const std::string& v) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = v.find(',', from);
    const std::string name = v.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    const auto number = ComPortNumber(name);
    if (!number) return "unknown port name '" + name + "' (expected COM1 to COM255)";
    const std::string canonical = "COM" + std::to_string(*number);
    if (std::find(o.ports.begin(), o.ports.end(), canonical) == o.ports.end()) o.ports.push_back(canonical);
    if (comma == std::string::npos) return {};
    from = comma + 1;
  }
}

std::string SetSpeed(CliOptions& o, const std::string& v) {
  long long n = 0;
  if (!ParseLong(v, 0, 1 << 30, &n) || !IsModuleRate(static_cast<std::int32_t>(n)))
    return "--speed takes 9600, 19200, 38400 or 115200";
  o.speed = static_cast<std::int32_t>(n);
  return {};
}

std::string SetCpu(CliOptions& o, const std::string& v) {
  const CpuProfile* cpu = CpuProfileNamed(v.c_str());
  if (!cpu) return "--cpu takes " + CpuNames();
  o.settings.CpuCode = cpu->code;
  return {};
}

std::string SetRomSize(CliOptions& o, const std::string& v) {
  for (int k = 0; k < kRomSizeCount; ++k) {
    if (v == kRomSizeNames[k]) {
      o.settings.RomSizeIndex = k;
      return {};
    }
  }
  return "unknown ROM size '" + v + "'";
}

std::string SetBootRate(CliOptions& o, const std::string& v) {
  long long n = 0;
  if (!ParseLong(v, 1, 100000000, &n)) return "--boot-rate takes a bit rate";
  o.settings.BootBitRate = static_cast<std::int32_t>(n);
  return {};
}

std::string SetFreq(CliOptions& o, const std::string& v) {
  char* end = nullptr;
  const double mhz = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != '\0' || !std::isfinite(mhz) || mhz < 0 || mhz > 1000)
    return "--freq takes a frequency in MHz";
  o.settings.InputFreqMHz = static_cast<float>(mhz);
  return {};
}

std::string SetMultiplier(std::uint8_t& to, const char* option, const std::string& v) {
  long long n = 0;
  if (!ParseLong(v, 0, 255, &n)) return std::string(option) + " takes a number from 0 to 255";
  to = static_cast<std::uint8_t>(n);
  return {};
}

std::string SetResetWait(CliOptions& o, const std::string& v) {
  long long n = 0;
  if (!ParseLong(v, 0, 600000, &n)) return "--reset-wait takes milliseconds";
  o.update.ResetWaitMs = static_cast<std::int32_t>(n);
  return {};
}

// A value that names a file or folder must not be empty.
std::string SetText(std::string& to, const char* what, const std::string& v) {
  if (v.empty()) return what;
  to = v;
  return {};
}

std::string SetStationName(CliOptions& o, const std::string& v) {
  if (std::string problem = fleet::StationNameProblem(v); !problem.empty()) return "--station-name: " + problem;
  o.stationName = v;
  return {};
}

struct ValueOption {
  const char* name;
  const char* missing;  // the error when no value follows
  ValueSetter set;
};
const ValueOption kValueOptions[] = {
    {"--log-dir", "--log-dir needs a folder",
     [](CliOptions& o, const std::string& v) { return SetText(o.logDir, "--log-dir needs a folder", v); }},
    {"--report", "--report needs a file name",
     [](CliOptions& o, const std::string& v) { return SetText(o.reportFile, "--report needs a file name", v); }},
    {"--backup", "--backup needs a file or folder",
     [](CliOptions& o, const std::string& v) {
       return SetText(o.update.FirmwareBackup, "--backup needs a file or folder", v);
     }},
    {"--from", "--from needs a backup file",
     [](CliOptions& o, const std::string& v) { return SetText(o.restoreFrom, "--from needs a backup file", v); }},
    {"--roll-back", "--roll-back needs a backup file",
     [](CliOptions& o, const std::string& v) {
       return SetText(o.rollBackFrom, "--roll-back needs a backup file", v);
     }},
    {"--port", "--port needs a port name", SetPorts},
    {"--mqtt", "--mqtt needs mqtt://HOST[:PORT]",
     [](CliOptions& o, const std::string& v) { return SetText(o.mqttUrl, "--mqtt needs mqtt://HOST[:PORT]", v); }},
    {"--station-name", "--station-name needs a name", SetStationName},
    {"--mqtt-user", "--mqtt-user needs a name",
     [](CliOptions& o, const std::string& v) { return SetText(o.mqttUser, "--mqtt-user needs a name", v); }},
    {"--mqtt-password-file", "--mqtt-password-file needs a file name",
     [](CliOptions& o, const std::string& v) {
       return SetText(o.mqttPasswordFile, "--mqtt-password-file needs a file name", v);
     }},
    {"--speed", "--speed takes 9600, 19200, 38400 or 115200", SetSpeed},
    {"--image", "--image needs a file name",
     [](CliOptions& o, const std::string& v) {
       o.imageFile = v;
       return std::string();
     }},
    {"--cpu", nullptr, SetCpu},
    {"--rom-size", "--rom-size needs a size such as 256K", SetRomSize},
    {"--boot-rate", "--boot-rate takes a bit rate", SetBootRate},
    {"--freq", "--freq takes a frequency in MHz", SetFreq},
    {"--mult1", "--mult1 takes a number from 0 to 255",
     [](CliOptions& o, const std::string& v) { return SetMultiplier(o.settings.Multiplier1, "--mult1", v); }},
    {"--mult2", "--mult2 takes a number from 0 to 255",
     [](CliOptions& o, const std::string& v) { return SetMultiplier(o.settings.Multiplier2, "--mult2", v); }},
    {"--reset-wait", "--reset-wait takes milliseconds", SetResetWait},
};

struct CommandName {
  const char* name;
  Command command;
};
constexpr CommandName kCommands[] = {{"update", Command::Update},   {"version", Command::Version},
                                     {"ports", Command::Ports},     {"info", Command::Info},
                                     {"restore", Command::Restore}, {"station", Command::Station}};

// One argument (and its value, which `i` then passes); "" or the error.
std::string TakeArgument(const std::vector<std::string>& args, std::size_t& i, CliOptions& o, bool& commandSeen) {
  const std::string& a = args[i];
  for (const FlagOption& flag : kFlags) {
    if (a == flag.name) {
      flag.set(o);
      return {};
    }
  }
  for (const ValueOption& option : kValueOptions) {
    if (a != option.name) continue;
    if (i + 1 >= args.size()) return option.missing ? option.missing : "--cpu needs " + CpuNames();
    return option.set(o, args[++i]);
  }
  // Other users of the machine see a command line.
  if (a == "--mqtt-password" || a.rfind("--mqtt-password=", 0) == 0)
    return "the broker password is not taken on the command line: use --mqtt-password-file FILE or "
           "the environment variable KV9_MQTT_PASSWORD";
  if (!a.empty() && a[0] == '-') return "unknown option '" + a + "'";
  for (const CommandName& c : kCommands) {
    if (!commandSeen && a == c.name) {
      commandSeen = true;
      o.command = c.command;
      return {};
    }
  }
  return "unexpected argument '" + a + "'";
}

// The broker options: a usable address, and the others only with one (a
// station's name also names its reports without a broker).
std::string CheckBroker(const CliOptions& o) {
  if (o.mqttUrl.empty()) {
    if (!o.mqttUser.empty() || !o.mqttPasswordFile.empty()) return "--mqtt-user and --mqtt-password-file go with --mqtt";
    if (!o.stationName.empty() && o.command != Command::Station) return "--station-name goes with station or --mqtt";
    return {};
  }
  if (o.command == Command::Ports || o.command == Command::Info) return "--mqtt goes with a command that makes a report";
  std::string error;
  if (!fleet::ParseBrokerUrl(o.mqttUrl, error)) return error;
  return {};
}

// What the options say together; "" or the error.
std::string CheckCombination(CliOptions& o) {
  if (!o.ports.empty()) {
    o.port = o.ports.front();
    o.settings.PortNumber = *ComPortNumber(o.port);
  } else {
    o.ports.push_back(o.port);
  }
  // Re-write mode sends no module command, so there is no ROM version to read.
  if (o.reWrite && (o.command == Command::Version || o.command == Command::Restore))
    return std::string("--rewrite cannot be used with ") + (o.command == Command::Version ? "version" : "restore");
  if (o.ports.size() > 1 && o.autoCheck) return "--auto searches for one module; it cannot go with several ports";
  if (!o.restoreFrom.empty() && o.command != Command::Restore) return "--from goes with restore only";
  if (!o.rollBackFrom.empty() && o.command != Command::Restore) return "--roll-back goes with restore only";
  if (!o.restoreFrom.empty() && !o.rollBackFrom.empty()) return "--from and --roll-back cannot be used together";
  if (o.otherModule && o.restoreFrom.empty() && o.rollBackFrom.empty())
    return "--other-module goes with restore --from or --roll-back only";
  if (o.command == Command::Restore && o.ports.size() > 1) return "restore works on one module at a time";
  // A station finds each module on its own port and updates it as found.
  if (o.command == Command::Station && (o.autoCheck || o.reWrite))
    return std::string("station cannot be used with ") + (o.autoCheck ? "--auto" : "--rewrite");
  return CheckBroker(o);
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions o;
  bool commandSeen = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (std::string error = TakeArgument(args, i, o, commandSeen); !error.empty()) return {std::nullopt, error};
  }
  if (std::string error = CheckCombination(o); !error.empty()) return {std::nullopt, error};
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
