// The Intel HEX loader: 20-bit addresses never reach an RX image area, so a
// data record is either passed over (bits 8 to 19 set) or ends the load.
#include "image/crc16.h"
#include "loader_fixture.h"

namespace kv9::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
const char* const kRange = "データが、範囲外です！！";

class IntelHexLoader : public LoaderTest {};

TEST_F(IntelHexLoader, RecordAtZeroShowsTheMessageAndLeavesAllZeroBytes) {
  LoadEmbedded();
  const std::string path = WriteLines("image.hex", {IntelHexText(0, 0x0000, {1, 2, 3, 4}), IntelHexText(1, 0, {})});
  EXPECT_EQ(cont_.LoadImageFile(path), 0);
  EXPECT_EQ(ui_.messages, std::vector<std::string>{kRange});
  EXPECT_EQ(cont_.ImageLoaded, 0);
  ASSERT_EQ(cont_.ImageStream.Size(), 262144u);
  EXPECT_TRUE(BufferIsAll(0x00));
  const Bytes zeros(245760, 0);
  EXPECT_EQ(pane_.lines, std::vector<std::string>{CrcText(Crc16(zeros.data(), zeros.size()))});
}

TEST_F(IntelHexLoader, RecordsWithBitsEightToNineteenSetAreIgnoredAndTheOldImageStays) {
  LoadEmbedded();
  const Bytes before = Buffer();
  cont_.ImageLoaded = 0;
  // Segment 0xFFF0: base 0xFFF00, so offsets 0x00..0xFF land on 0xFFF00..0xFFFFF.
  const std::string path = WriteLines("image.hex", {IntelHexSegment(0xFFF0), IntelHexText(0, 0x0000, {9, 9}),
                                                    IntelHexText(0, 0x00F0, {7}), IntelHexText(1, 0, {})});
  EXPECT_EQ(cont_.LoadImageFile(path), 1);
  EXPECT_EQ(cont_.ImageLoaded, 1);
  EXPECT_EQ(Buffer(), before);
  EXPECT_TRUE(ui_.messages.empty());
  // No byte was written, so no summary line; the CRC line always comes.
  EXPECT_EQ(pane_.lines, std::vector<std::string>{CrcText(Crc16(before.data(), 245760))});
}

struct Case {
  const char* name;
  std::vector<std::string> lines;
  int result;
  int rangeMessages;
};

TEST_F(IntelHexLoader, FailurePathsEndWithAnAllZeroBuffer) {
  const Case cases[] = {
      {"end-of-file record does not end processing",
       {IntelHexSegment(0xFFF0), IntelHexText(0, 0, {1}), IntelHexText(1, 0, {}), IntelHexSegment(0),
        IntelHexText(0, 0x0100, {1})},
       0, 1},
      {"bad data checksum fails at the end without a message",
       {IntelHexSegment(0xFFF0), IntelHexText(0, 0, {1}, 0x00), IntelHexText(0, 0x10, {2})}, 0, 0},
      {"bad segment checksum keeps the old base",
       {IntelHexSegment(0xFFF0), IntelHexSegment(0x0000, 0x55), IntelHexText(0, 0x0010, {1})}, 0, 0},
      {"lines after a bad checksum are still read",
       {IntelHexText(0, 0, {1}, 0x00), IntelHexText(0, 0x1234, {2}), IntelHexText(0, 0x2000, {3})}, 0, 1},
      {"segment below the ignored pages stops the load",
       {IntelHexSegment(0xFFE0), IntelHexText(0, 0x0000, {1})}, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
    cont.LoadEmbeddedImage();
    ui_.messages.clear();
    EXPECT_EQ(cont.LoadImageFile(WriteLines("case.hex", c.lines)), c.result);
    EXPECT_EQ(ui_.messages, std::vector<std::string>(c.rangeMessages, kRange));
    EXPECT_EQ(cont.ImageLoaded, 0);
    const std::uint8_t* p = cont.ImageStream.Memory();
    EXPECT_EQ(std::count(p, p + cont.ImageStream.Size(), 0), 262144);
  }
}

TEST_F(IntelHexLoader, OversizedAndUnknownRecordsArePassedOverWithoutAChecksumTest) {
  LoadEmbedded();
  const std::string path = WriteLines(
      "image.hex", {":81000000ZZ", ":0400000500000000F7", ":02000004FFFF00", IntelHexText(1, 0, {}, 0x12)});
  EXPECT_EQ(cont_.LoadImageFile(path), 1);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(cont_.ImageLoaded, 1);
}

}  // namespace
}  // namespace kv9::test
