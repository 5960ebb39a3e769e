#include "module_context.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "wire/boot_sum.h"
#include "wire/embedded_image_layout.h"
#include "wire/frame_sum.h"

namespace kv9::sim {

namespace {

// A module comes from the factory with firmware in its flash: program code
// at the bottom, the version text just below the loader area, and the
// resident loader in the top 16 KB. None of it is blank, so an update has to
// erase first.
void InstallFactoryFirmware(FlashMemory& flash, const std::string& version) {
  std::uint32_t state = 0x4B563931;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(state >> 16);
  };
  std::vector<std::uint8_t> program(0x8000);
  for (auto& b : program) b = next();
  flash.Fill(0xFFFC0000, program);
  std::vector<std::uint8_t> loader(0x4000);
  for (auto& b : loader) b = next();
  flash.Fill(0xFFFFC000, loader);
  std::vector<std::uint8_t> text(9, ' ');
  for (std::size_t i = 0; i < version.size() && i < text.size(); ++i) {
    text[i] = static_cast<std::uint8_t>(version[i]);
  }
  flash.Fill(0xFFFFBFF0, text);
}

// Where the checksum of a reply sits, or nothing when it has none.
std::optional<std::size_t> SumIndex(ReplySum sum, std::size_t size) {
  if (sum == ReplySum::LastByte && size >= 2) return size - 1;
  if (sum == ReplySum::BeforeEtx && size >= 3) return size - 2;
  return std::nullopt;
}

std::uint8_t SumOf(ReplySum sum, const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return sum == ReplySum::LastByte ? BootSum(bytes.data(), at) : FrameSum(bytes.data(), at);
}

// Changes a reply the way `fault` says the line spoils it; returns the note
// the trace shows, empty when the reply went out as built.
std::string SpoilReply(const FaultRule& fault, ReplySum sum, std::vector<std::uint8_t>& bytes) {
  const auto at = SumIndex(sum, bytes.size());
  if (fault.kind == FaultRule::Kind::BadSum) {
    if (!at) return {};  // nothing to spoil: single bytes carry no sum
    bytes[*at] = static_cast<std::uint8_t>(bytes[*at] + 1);
    return "bad sum";
  }
  if (fault.flipByte >= bytes.size()) return {};  // the reply is shorter
  bytes[fault.flipByte] ^= static_cast<std::uint8_t>(1u << fault.flipBit);
  std::string note = "bit " + std::to_string(fault.flipBit) + " of byte " + std::to_string(fault.flipByte) +
                     " flipped";
  if (fault.kind == FaultRule::Kind::BitFlipSummed && at) {
    bytes[*at] = SumOf(sum, bytes, *at);
    note += ", sum recomputed";
  }
  return note;
}

// The images a dump wrote; a file missing or of another size is an error.
void LoadEeprom(EepromImages& eeprom, const std::filesystem::path& dir) {
  auto read = [&dir](const char* name) {
    std::ifstream in(dir / name, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    EepromImages::Image image{};
    if (bytes.size() != image.size())
      throw std::runtime_error("cannot read an EEPROM image of 124 bytes from " + (dir / name).string());
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
  };
  eeprom.Load(read("eeprom_factory.bin"), read("eeprom_all.bin"));
}

}  // namespace

ModuleContext::ModuleContext(const SimOptions& opts)
    : options(opts),
      profile(ProfileFor(opts.cpu)),
      userArea(profile.userArea),
      userBootArea(profile.userBootArea),
      dataArea(profile.dataArea),
      locked(profile.eraseBlocks.size(), false),
      eeprom(opts.serial),
      faults(opts.faults.rules) {
  if (opts.flashFile) {
    std::ifstream in(*opts.flashFile, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read flash image " + opts.flashFile->string());
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    userArea.LoadTop(bytes);
  } else {
    InstallFactoryFirmware(userArea, opts.initialRomVersion);
  }
  if (opts.eepromDir) LoadEeprom(eeprom, *opts.eepromDir);
}

void ModuleContext::Send(std::vector<std::uint8_t> bytes, std::uint32_t rate, ReplySum sum) {
  if (bytes.empty()) return;
  const std::string note = lineFault ? SpoilReply(*lineFault, sum, bytes) : std::string();
  TraceFrame("TX", rate, bytes.data(), bytes.size(), note);
  out.push_back({std::move(bytes), rate});
}

std::uint16_t ModuleContext::LoaderCrc() const {
  // The loader is built for its microcontroller and checks the whole user
  // area below itself, from the area's first address on, whatever part of
  // it an update wrote.
  return userArea.Crc(profile.userArea.first, kCrcEnd);
}

void ModuleContext::TraceFrame(const char* direction, std::uint32_t rate, const std::uint8_t* bytes,
                               std::size_t count, const std::string& note) {
  if (!trace) return;
  std::string line = "kv9sim: ";
  line += direction;
  line += " @";
  line += std::to_string(rate);
  line += " [" + std::to_string(count) + "] ";
  line += HexBytes(bytes, count);
  if (!note.empty()) line += " (" + note + ")";
  trace(line);
}

std::string HexBytes(const std::uint8_t* bytes, std::size_t count, std::size_t limit) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  const std::size_t shown = count > limit ? limit : count;
  for (std::size_t i = 0; i < shown; ++i) {
    if (i) s += ' ';
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 0xF];
  }
  if (shown < count) s += " ...";
  return s;
}

}  // namespace kv9::sim
