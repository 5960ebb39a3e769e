#pragma once
// The module's settings EEPROM as the firmware exposes it: two images of 62
// 16-bit words (stored low byte first), addressed from word 1.
//  - the factory image, read with kind 254 and written with kind 255;
//  - the all-data image, read with kind 255 and written in four regions,
//    kinds 0..3, each addressed from word 1 of its region.
// Initialisation renews the factory words 25, 31 and 39..61 from the
// firmware's defaults, which is what "restore factory settings" builds on.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kv9::sim {

class EepromImages {
 public:
  static constexpr std::size_t kWords = 62;
  static constexpr std::size_t kBytes = kWords * 2;
  using Image = std::array<std::uint8_t, kBytes>;

  static constexpr std::uint8_t kFactoryKind = 254;
  static constexpr std::uint8_t kAllDataKind = 255;
  // Word index in the images (word address 41) of the reference power.
  static constexpr std::size_t kRefPowerWord = 40;

  // `serial` tells modules apart: every calibration word (0..24) depends on it.
  explicit EepromImages(unsigned serial = 0);
  // Both images as a dump left them (a module switched off and on keeps its EEPROM).
  void Load(const Image& factory, const Image& allData) {
    factory_ = factory;
    allData_ = allData;
  }

  // Reads `count` words from word address `address`; false when the kind is
  // unknown or the words do not lie inside the image or region.
  bool Read(std::uint8_t kind, std::uint8_t address, std::uint8_t count,
            std::vector<std::uint8_t>* out) const;
  // Writes the words into the target. False, and nothing written, when the
  // kind is unknown or the words do not all lie inside the image or region.
  bool Write(std::uint8_t kind, std::uint8_t address, std::span<const std::uint8_t> words);
  // Renews the factory words from the defaults; with `alsoAllData` the same
  // words of the all-data image too.
  void Initialise(bool alsoAllData);

  std::uint16_t Word(const Image& image, std::size_t index) const;
  const Image& Factory() const { return factory_; }
  const Image& AllData() const { return allData_; }

  static Image Defaults();
  static bool IsRenewedWord(std::size_t index) { return index == 25 || index == 31 || index >= 39; }

 private:
  enum class Which { Factory, AllData };
  struct Target {
    Which which;
    std::size_t firstWord;
    std::size_t words;
  };
  static bool Resolve(std::uint8_t kind, bool forWrite, Target* target);
  Image& ImageOf(Which w) { return w == Which::Factory ? factory_ : allData_; }
  const Image& ImageOf(Which w) const { return w == Which::Factory ? factory_ : allData_; }

  Image factory_{};
  Image allData_{};
};

}  // namespace kv9::sim
