#include "module_context.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

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

}  // namespace

ModuleContext::ModuleContext(const SimOptions& opts)
    : options(opts),
      profile(ProfileFor(opts.cpu)),
      userArea(profile.userArea),
      userBootArea(profile.userBootArea),
      dataArea(profile.dataArea),
      locked(profile.eraseBlocks.size(), false),
      faults(opts.faults.rules) {
  if (opts.flashFile) {
    std::ifstream in(*opts.flashFile, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read flash image " + opts.flashFile->string());
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    userArea.LoadTop(bytes);
  } else {
    InstallFactoryFirmware(userArea, opts.initialRomVersion);
  }
}

void ModuleContext::Send(std::vector<std::uint8_t> bytes, std::uint32_t rate) {
  if (bytes.empty()) return;
  TraceFrame("TX", rate, bytes.data(), bytes.size());
  out.push_back({std::move(bytes), rate});
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
