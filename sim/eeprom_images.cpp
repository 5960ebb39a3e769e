#include "eeprom_images.h"

#include <algorithm>

namespace kv9::sim {

namespace {

void PutWord(EepromImages::Image& image, std::size_t index, std::uint16_t value) {
  image[index * 2] = static_cast<std::uint8_t>(value & 0xFF);
  image[index * 2 + 1] = static_cast<std::uint8_t>(value >> 8);
}

struct Region {
  std::size_t firstWord;
  std::size_t words;
};
// The all-data image split into the four regions the firmware writes by kind.
constexpr Region kRegions[4] = {{0, 20}, {20, 10}, {30, 8}, {38, 24}};

}  // namespace

EepromImages::Image EepromImages::Defaults() {
  Image image{};
  for (std::size_t i = 0; i < kWords; ++i) {
    PutWord(image, i, static_cast<std::uint16_t>(0x1000 + i * 0x0101));
  }
  PutWord(image, 25, 0x0064);         // antenna tuning step
  PutWord(image, 31, 0x0003);         // retry count
  PutWord(image, kRefPowerWord, 250); // reference power
  return image;
}

EepromImages::EepromImages(unsigned serial) {
  // A module as it leaves the line: calibration in the low words, and the
  // renewable words still holding what an older firmware put there, so that
  // initialisation visibly changes them.
  factory_ = Defaults();
  // Each module's calibration is its own: `serial` moves every word of it.
  for (std::size_t i = 0; i < 25; ++i) {
    PutWord(factory_, i, static_cast<std::uint16_t>(0x5100 + i * 7 + serial * (i + 1)));
  }
  for (std::size_t i = 0; i < kWords; ++i) {
    if (IsRenewedWord(i)) PutWord(factory_, i, static_cast<std::uint16_t>(Word(factory_, i) ^ 0x0A0A));
  }
  PutWord(factory_, kRefPowerWord, 262);
  allData_ = factory_;
  // The owner's own settings live in the first region of the all-data image.
  for (std::size_t i = 0; i < 20; ++i) {
    PutWord(allData_, i, static_cast<std::uint16_t>(0x2200 + i));
  }
}

std::uint16_t EepromImages::Word(const Image& image, std::size_t index) const {
  return static_cast<std::uint16_t>(image[index * 2] | (image[index * 2 + 1] << 8));
}

bool EepromImages::Resolve(std::uint8_t kind, bool forWrite, Target* target) {
  if (kind == kFactoryKind && !forWrite) {
    *target = {Which::Factory, 0, kWords};
  } else if (kind == kAllDataKind) {
    // Writing with the all-data kind lands in the factory image: it is how
    // the factory image is restored, and a factory read verifies it.
    *target = {forWrite ? Which::Factory : Which::AllData, 0, kWords};
  } else if (kind < 4) {
    *target = {Which::AllData, kRegions[kind].firstWord, kRegions[kind].words};
  } else {
    return false;
  }
  return true;
}

bool EepromImages::Read(std::uint8_t kind, std::uint8_t address, std::uint8_t count,
                        std::vector<std::uint8_t>* out) const {
  Target t{};
  if (!Resolve(kind, false, &t)) return false;
  if (address < 1 || count < 1 || address - 1u + count > t.words) return false;
  const std::size_t from = (t.firstWord + address - 1) * 2;
  const Image& image = ImageOf(t.which);
  out->assign(image.begin() + static_cast<std::ptrdiff_t>(from),
              image.begin() + static_cast<std::ptrdiff_t>(from + count * 2u));
  return true;
}

bool EepromImages::Write(std::uint8_t kind, std::uint8_t address,
                         std::span<const std::uint8_t> words) {
  Target t{};
  if (!Resolve(kind, true, &t)) return false;
  if (address < 1 || address > t.words || words.size() % 2 != 0) return false;
  const std::size_t room = t.words - (address - 1);
  // Words past the end of the region or image are refused, not dropped: a
  // write sized wrongly must be seen, not half stored.
  if (words.size() / 2 > room) return false;
  const std::size_t n = words.size() / 2;
  std::copy_n(words.begin(), n * 2,
              ImageOf(t.which).begin() + static_cast<std::ptrdiff_t>((t.firstWord + address - 1) * 2));
  return true;
}

void EepromImages::Initialise(bool alsoAllData) {
  const Image defaults = Defaults();
  for (std::size_t i = 0; i < kWords; ++i) {
    if (!IsRenewedWord(i)) continue;
    PutWord(factory_, i, Word(defaults, i));
    if (alsoAllData) PutWord(allData_, i, Word(defaults, i));
  }
}

}  // namespace kv9::sim
