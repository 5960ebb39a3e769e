#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "wire/embedded_image_layout.h"
#include "image/image_area.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/resources.h"

namespace kv9 {
namespace {

TEST(ImageArea, TableRowsAndTheSixtyFourKilobyteFallback) {
  const std::pair<int, std::uint32_t> rows[] = {
      {5, 0xFFFF8000},  {6, 0xFFFF4000},  {7, 0xFFFF0000},  {8, 0xFFFE8000},
      {9, 0xFFFE0000},  {11, 0xFFFC0000}, {13, 0xFFFA0000}, {14, 0xFFF80000},
      {15, 0xFFF40000}, {16, 0xFFF00000}, {17, 0xFFE80000}, {18, 0xFFE00000},
      {0, 0xFFFF0000},  {1, 0xFFFF0000},  {2, 0xFFFF0000},  {3, 0xFFFF0000},
      {4, 0xFFFF0000},  {10, 0xFFFF0000}, {12, 0xFFFF0000}, {19, 0xFFFF0000},
      {-1, 0xFFFF0000}};
  for (auto [index, start] : rows) EXPECT_EQ(RomStartFor(index), start) << index;
  EXPECT_STREQ(kRomSizeNames[11], "256K");
  EXPECT_STREQ(kRomSizeNames[17], "1.5M");
}

TEST(ImageArea, DeviceCodesPerCpu) {
  auto code = [](int cpu) {
    auto c = DeviceCodeFor(cpu);
    return std::string(c.begin(), c.end());
  };
  EXPECT_EQ(code(5), "8a02");
  EXPECT_EQ(code(6), "7505");
  EXPECT_EQ(code(7), "7n05");
}

TEST(ImageBuffer, DefaultsGiveTheTwoHundredFiftySixKilobyteAreaAllErased) {
  TFlashWrRXCont cont(nullptr, nullptr, TProgSettings{});
  EXPECT_EQ(cont.RomStart, 0xFFFC0000u);
  EXPECT_EQ(cont.RomEnd, 0xFFFFFFFFu);
  EXPECT_EQ(cont.CrcEnd, 0xFFFFBFFFu);
  EXPECT_EQ(std::string(cont.DeviceCode.begin(), cont.DeviceCode.end()), "8a02");
  ASSERT_EQ(cont.ImageStream.Size(), 262144u);
  EXPECT_EQ(cont.ImageLoaded, 0);
  EXPECT_TRUE(std::all_of(cont.ImageStream.Memory(), cont.ImageStream.Memory() + 262144,
                          [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(ImageBuffer, EmbeddedImageIsTheGeneratedFileAndItsCrcCoversTheFirst245760Bytes) {
  TFlashWrRXCont cont(nullptr, nullptr, TProgSettings{});
  cont.LoadEmbeddedImage();
  EXPECT_EQ(cont.ImageLoaded, 1);
  ASSERT_EQ(cont.ImageStream.Size(), 262144u);

  std::ifstream file(KV9_GENERATED_IMAGE, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
  ASSERT_EQ(bytes.size(), 262144u);
  EXPECT_EQ(0, std::memcmp(bytes.data(), cont.ImageStream.Memory(), bytes.size()));

  cont.ImageStream.Seek(1234);
  const std::uint16_t crc = cont.ImageCrc();
  EXPECT_EQ(cont.ImageStream.Position(), 0u);
  // CRC-16/X-25 of the first 245760 bytes (below the loader), not of all 256 KB.
  EXPECT_EQ(crc, 0xBA50);
}

TEST(ImageBuffer, EmbeddedImageLayout) {
  const ResourceBlob blob = FindResource("HEXDATA", "HexData1");
  ASSERT_EQ(blob.size, kEmbeddedImageSize);
  auto at = [&](std::uint32_t address) { return blob.data[address - kEmbeddedImageStart]; };
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&blob.data[kRomVersionAddress - kEmbeddedImageStart]),
                        kRomVersionLength),
            "V2.00.00 ");
  // Program data at the bottom, a long erased run, data again below and in the loader area.
  EXPECT_NE(std::count(blob.data, blob.data + 4096, 0xFF), 4096);
  for (std::uint32_t a = 0xFFFE0000; a < 0xFFFFBF00; a += 256) ASSERT_EQ(at(a), 0xFF) << std::hex << a;
  EXPECT_NE(std::count(&blob.data[0x3FF00], &blob.data[0x40000], 0xFF), 256);
  EXPECT_NE(std::count(&blob.data[0x3C000], &blob.data[0x40000], 0xFF), 0x4000);
}

TEST(ImageBuffer, SoundsAreWaveFilesAndMissingResourcesRaise) {
  for (const char* name : {"Sound_ring5", "Sound_alarm1"}) {
    const ResourceBlob wave = FindResource("WAVE", name);
    ASSERT_GT(wave.size, 44u);
    EXPECT_EQ(0, std::memcmp(wave.data, "RIFF", 4));
    EXPECT_EQ(0, std::memcmp(wave.data + 8, "WAVE", 4));
  }
  EXPECT_THROW(FindResource("WAVE", "Sound_missing"), EResNotFound);
  EXPECT_STREQ(ProductVersion(), "1.0.8.4");
}

TEST(ImageBuffer, AnotherAreaKeepsTheBufferButTheUpdateRefusesTheImage) {
  TFlashWrRXCont cont(nullptr, nullptr, TProgSettings{});
  cont.LoadEmbeddedImage();
  EXPECT_EQ(ImageAreaProblem(cont), "");
  const std::vector<std::uint8_t> before(cont.ImageStream.Memory(), cont.ImageStream.Memory() + 262144);
  cont.SetImageArea(6, 9);  // RX630, "128K"
  EXPECT_EQ(cont.RomStart, 0xFFFE0000u);
  EXPECT_EQ(std::string(cont.DeviceCode.begin(), cont.DeviceCode.end()), "7505");
  EXPECT_EQ(cont.Settings.CpuCode, 6);
  EXPECT_EQ(cont.Settings.RomSizeIndex, 9);
  ASSERT_EQ(cont.ImageStream.Size(), 262144u);
  EXPECT_EQ(0, std::memcmp(before.data(), cont.ImageStream.Memory(), 262144));
  // The bytes belong to 0xFFFC0000 on: programmed at 0xFFFE0000 they would
  // be a broken firmware, so the update refuses them, naming both addresses.
  EXPECT_EQ(ImageAreaProblem(cont),
            "ＲＯＭデータは 0xFFFC0000 からのデータですが、ROMサイズ設定の先頭は 0xFFFE0000 です。設定を確認してください。");
  cont.SetImageArea(5, 14);  // "512K", larger than the image
  EXPECT_EQ(ImageAreaProblem(cont),
            "ＲＯＭデータは 0xFFFC0000 からのデータですが、ROMサイズ設定の先頭は 0xFFF80000 です。設定を確認してください。");
  cont.SetImageArea(5, 11);  // back to the image's own "256K"
  EXPECT_EQ(ImageAreaProblem(cont), "");
}

TEST(MemoryStream, ReadsStopAtTheEndAndWritesPastItExtend) {
  TMemoryStream s;
  s.SetSize(4);
  s.Seek(2);
  const std::uint8_t data[] = {1, 2, 3, 4};
  s.Write(data, 4);
  EXPECT_EQ(s.Size(), 6u);
  EXPECT_EQ(s.Position(), 6u);
  s.Rewind();
  std::uint8_t out[10] = {};
  EXPECT_EQ(s.Read(out, 10), 6u);
  EXPECT_EQ(out[2], 1);
  EXPECT_EQ(out[5], 4);
  EXPECT_EQ(s.Read(out, 10), 0u);
}

}  // namespace
}  // namespace kv9
