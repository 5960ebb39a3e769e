#include "loader_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

namespace kv9::test {
namespace {

std::string Hex2(std::uint32_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value & 0xFF);
  return text;
}

}  // namespace

std::string SRecordText(int kind, std::uint32_t address, const std::vector<std::uint8_t>& data, int count,
                        int checksum) {
  const int addressBytes = kind == 2 ? 3 : 4;
  const std::uint32_t n = count >= 0 ? static_cast<std::uint32_t>(count)
                                     : static_cast<std::uint32_t>(data.size() + addressBytes + 1);
  std::string line = "S" + std::to_string(kind) + Hex2(n);
  std::uint32_t sum = n;
  for (int i = addressBytes - 1; i >= 0; --i) {
    const std::uint32_t byte = (address >> (8 * i)) & 0xFF;
    line += Hex2(byte);
    sum += byte;
  }
  for (std::uint8_t b : data) {
    line += Hex2(b);
    sum += b;
  }
  line += Hex2(checksum >= 0 ? static_cast<std::uint32_t>(checksum) : 0xFF - (sum & 0xFF));
  return line;
}

std::string IntelHexText(int type, std::uint16_t address, const std::vector<std::uint8_t>& data, int checksum) {
  std::string line = ":" + Hex2(static_cast<std::uint32_t>(data.size())) + Hex2(address >> 8) + Hex2(address) +
                     Hex2(static_cast<std::uint32_t>(type));
  std::uint32_t sum = static_cast<std::uint32_t>(data.size()) + (address >> 8) + (address & 0xFF) +
                      static_cast<std::uint32_t>(type);
  for (std::uint8_t b : data) {
    line += Hex2(b);
    sum += b;
  }
  line += Hex2(checksum >= 0 ? static_cast<std::uint32_t>(checksum) : (0x100 - (sum & 0xFF)));
  return line;
}

std::string IntelHexSegment(std::uint16_t segment, int checksum) {
  return IntelHexText(2, 0, {static_cast<std::uint8_t>(segment >> 8), static_cast<std::uint8_t>(segment)},
                      checksum);
}

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(gen());
  return bytes;
}

std::string CrcText(std::uint16_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "CRC: %04X", static_cast<unsigned>(crc));
  return text;
}

LoaderTest::LoaderTest() : cont_(&ui_, &pane_, TProgSettings{}) {
  cont_.DebugLog = 1;  // the summary and CRC lines are debug lines
  std::string pattern = (std::filesystem::temp_directory_path() / "kv9-loader-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
}

LoaderTest::~LoaderTest() {
  std::error_code ignored;
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(dir_, ignored);
}

std::string LoaderTest::WriteLines(const std::string& name, const std::vector<std::string>& lines) {
  const std::string path = (dir_ / name).string();
  std::ofstream out(path, std::ios::binary);
  for (const auto& line : lines) out << line << '\n';
  return path;
}

std::string LoaderTest::WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = (dir_ / name).string();
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void LoaderTest::Run(const std::string& command) {
  const int rc = std::system((command + " 2>&1").c_str());
  ASSERT_EQ(rc, 0) << command;
}

std::vector<std::uint8_t> LoaderTest::Buffer() const {
  const auto* p = cont_.ImageStream.Memory();
  return std::vector<std::uint8_t>(p, p + cont_.ImageStream.Size());
}

bool LoaderTest::BufferIsAll(std::uint8_t value) const {
  const auto* p = cont_.ImageStream.Memory();
  return std::all_of(p, p + cont_.ImageStream.Size(), [value](std::uint8_t b) { return b == value; });
}

void LoaderTest::LoadEmbedded() {
  cont_.LoadEmbeddedImage();
  ASSERT_EQ(cont_.ImageLoaded, 1);
  ASSERT_FALSE(BufferIsAll(0xFF));
}

}  // namespace kv9::test
