#pragma once
// Everything that shapes one simulated module: which microcontroller it has,
// how its line behaves, where it publishes its port and which faults it
// injects. The kv9sim program fills this from its command line; tests fill
// it directly.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv9::sim {

enum class Cpu { RX231, RX630, RX63T };
enum class IdProtect { Off, PieceA, PieceB };
enum class StartIn { Firmware, Boot };

// Where a fault applies. Normal-firmware frames are named by their command
// code (0x4E or 0x4F, or any when unset) and sub-command; boot-program frames
// by their command byte (the loader's 0x9D/0x9F included). `occurrence` 0
// means every matching frame, n > 0 only the n-th one since start.
struct FaultSite {
  enum class Side { Firmware, Boot };
  Side side = Side::Boot;
  std::optional<std::uint8_t> frameCode;  // firmware only: 0x4E / 0x4F
  std::uint8_t code = 0;                  // sub-command or boot command byte
  unsigned occurrence = 0;
};

struct FaultRule {
  enum class Kind {
    NoReply,     // the frame is swallowed: no effect, no answer
    ErrorReply,  // refused with `errorCode` (boot: command|0x80 + code; firmware: status byte)
    BadSum,      // processed, but the answer's checksum is off by one
    // A bit error on the line: bit `flipBit` of byte `flipByte` (0 = the
    // reply's first byte) of the answer is inverted. BitFlip leaves the sum
    // as sent, so a frame check catches it; BitFlipSummed recomputes it, so
    // only reading twice does. The module itself is unaffected.
    BitFlip,
    BitFlipSummed,
    Disconnect,  // the cable is pulled as the frame arrives: no effect, the port goes away
  };
  Kind kind = Kind::NoReply;
  FaultSite site;
  std::uint8_t errorCode = 0;
  unsigned flipByte = 0;
  std::uint8_t flipBit = 0;
};

struct Faults {
  std::vector<FaultRule> rules;
  unsigned disconnectAtBlock = 0;  // 1-based programming block that "pulls the cable"; 0 = never
  unsigned powerLossAtBlock = 0;   // 1-based programming block during which power fails; 0 = never
  bool badLoaderCrc = false;       // the loader reports a CRC that is off by one
  std::vector<std::uint32_t> answerRates;  // when not empty, bytes at other rates are noise
};

struct SimOptions {
  Cpu cpu = Cpu::RX231;
  std::uint32_t firmwareRate = 19200;  // the normal firmware's own bit rate
  std::string modelName = "Q508";      // padded with blanks to nine characters
  std::string initialRomVersion = "V1.00.00";  // version text of the firmware present at start
  IdProtect idProtect = IdProtect::Off;
  StartIn startIn = StartIn::Firmware;
  bool pace = false;   // every byte takes 10 bit times at the current rate
  bool trace = false;  // log every frame with its rate to stderr
  // The tool's end is a USB serial adapter with this latency timer (0: a
  // plain line): the module's bytes reach the tool only when 62 are waiting
  // or the timer ran since the first of them (usb_adapter.h).
  std::chrono::milliseconds adapterLatency{0};
  // The adapter's driver takes the tool's low-latency request: while the
  // tool holds the port the timer is 1 ms. A pty cannot carry the request
  // itself, so this stands for a tool that asks for it.
  bool lowLatencyOnOpen = false;
  // Rates the boot program's bit-rate matching measures 0x00 bytes at; the
  // first 0x00 answer fixes the rate until a new one is acknowledged.
  std::vector<std::uint32_t> matchRates{9600, 19200};
  std::chrono::milliseconds resetDelay{400};  // microcontroller restart time, under the tool's 1000 ms wait
  std::uint16_t powerValue = 243;             // measured transmitter power while the transmitter is on
  std::optional<std::filesystem::path> flashFile;  // raw image placed so it ends at 0xFFFFFFFF
  std::optional<std::filesystem::path> dumpDir;    // written when the module stops
  // Port publication: the link COM<comNumber> in portDir. comNumber 0 picks
  // the lowest number that is free in portDir.
  unsigned comNumber = 0;
  std::filesystem::path portDir;
  Faults faults;
  // Which module of a bench this is (0 for the first): a fresh module has its
  // own calibration, so its EEPROM differs from the one before it.
  unsigned serial = 0;
  // The EEPROM at start as a dump folder holds it (eeprom_factory.bin,
  // eeprom_all.bin), instead of the one `serial` makes.
  std::optional<std::filesystem::path> eepromDir;
  // A production bench (the kv9sim program only): every `swapEvery` (0:
  // only on SIGUSR1) the module is taken away with its port, and after
  // `away` a fresh one (old firmware, its own EEPROM) is connected.
  std::chrono::milliseconds swapEvery{0};
  std::chrono::milliseconds away{1000};
  // A swap keeps the port open (the fixture's adapter stays plugged in):
  // only the module behind it changes, nothing answering for `away`.
  bool swapInPlace = false;
};

const char* CpuName(Cpu cpu);

}  // namespace kv9::sim
