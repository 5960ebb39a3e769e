// The Intel HEX loader: 20-bit addresses never reach an RX image area, so a
// data record placed by a segment base ends the load; type 04 bases reach it.
#include "wire/crc16.h"
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

TEST_F(IntelHexLoader, ObjcopyFileWithLinearAddressRecordsProgramsExactlyThatData) {
  LoadEmbedded();  // the file is the whole image: nothing of this one may stay
  const Bytes data = RandomBytes(0x9000, 7);
  const std::string bin = WriteBytes("image.bin", data);
  const std::string hex = (dir_ / "image.hex").string();
  Run("objcopy -I binary -O ihex --change-addresses 0xFFFC0000 '" + bin + "' '" + hex + "'");

  ASSERT_EQ(cont_.LoadImageFile(hex), 1);
  EXPECT_TRUE(ui_.messages.empty());
  Bytes expected(262144, 0xFF);
  std::copy(data.begin(), data.end(), expected.begin());
  EXPECT_EQ(Buffer(), expected);
  EXPECT_EQ(pane_.lines.front(), "プログラムデータ読み込み終了[36864Bytes]");
  EXPECT_EQ(cont_.ImageBase, 0xFFFC0000u);
}

TEST_F(IntelHexLoader, SegmentAndLinearBasesBlankLinesAndAByteOrderMark) {
  // 0xFFFF:0x0010 is 0xFFFF0 + 0x10 = 0x100000 (20-bit), refused as ever; a
  // linear base 0xFFFC plus offset 0x0010 is 0xFFFC0010.
  const std::vector<std::string> lines = {"\xEF\xBB\xBF" + IntelHexText(4, 0, {0xFF, 0xFC}), "",
                                          "  " + IntelHexText(0, 0x0010, {1, 2, 3}) + " ", "",
                                          IntelHexText(1, 0, {}), "", " \t"};
  ASSERT_EQ(cont_.LoadImageFile(WriteLines("image.hex", lines)), 1);
  EXPECT_EQ(Bytes(cont_.ImageStream.Memory() + 0x0F, cont_.ImageStream.Memory() + 0x14),
            (Bytes{0xFF, 1, 2, 3, 0xFF}));
  EXPECT_TRUE(ui_.messages.empty());
}

// Files that hold no image, or not all of one: refused with a message and
// an all-zero buffer, so nothing of them can be programmed.
TEST_F(IntelHexLoader, FilesThatAreNoCompleteImageAreRefused) {
  const std::string noData = "ファイルに書き込むデータがありません。ファイルを確認してください。";
  struct Refused {
    const char* name;
    std::vector<std::string> lines;
    std::string message;
  };
  const Refused cases[] = {
      {"end-of-file record only", {IntelHexText(1, 0, {})}, noData},
      {"only data records without bytes",
       {IntelHexText(4, 0, {0xFF, 0xFC}), IntelHexText(0, 0x0000, {}), IntelHexText(1, 0, {})}, noData},
      {"no end-of-file record",
       {IntelHexText(4, 0, {0xFF, 0xFC}), IntelHexText(0, 0, {1, 2})},
       "ファイルが途中で終わっています（終了レコードがありません）。ファイルを確認してください。"},
      {"record line cut short",
       {IntelHexText(4, 0, {0xFF, 0xFC}), IntelHexText(0, 0, {1, 2, 3, 4}).substr(0, 13), IntelHexText(1, 0, {})},
       "2行目のレコードが途中で切れています。ファイルを確認してください。"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
    cont.LoadEmbeddedImage();
    ui_.messages.clear();
    EXPECT_EQ(cont.LoadImageFile(WriteLines("case.hex", c.lines)), 0);
    EXPECT_EQ(ui_.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(cont.ImageLoaded, 0);
    const std::uint8_t* p = cont.ImageStream.Memory();
    EXPECT_EQ(std::count(p, p + cont.ImageStream.Size(), 0), 262144);
  }
}

struct Case {
  const char* name;
  std::vector<std::string> lines;
  std::vector<std::string> messages;
};

TEST_F(IntelHexLoader, FailurePathsEndWithAnAllZeroBuffer) {
  const std::string linear = IntelHexText(4, 0, {0xFF, 0xFC});
  const std::string end = IntelHexText(1, 0, {});
  const Case cases[] = {
      {"data record after the end-of-file record (two files joined)",
       {linear, IntelHexText(0, 0, {1}), end, "", linear, IntelHexText(0, 0x0010, {2}), end},
       {"6行目のデータレコードが終了レコードの後にあります（ファイルが連結されていませんか）。ファイルを確認してください。"}},
      {"bad data checksum fails at the end without a message",
       {linear, IntelHexText(0, 0, {1}, 0x00), IntelHexText(0, 0x10, {2}), end}, {}},
      {"bad linear address checksum keeps the old base",
       {linear, IntelHexText(4, 0, {0x00, 0x00}, 0x55), IntelHexText(0, 0x0010, {1}), end}, {}},
      {"lines after a bad checksum are still read",
       {IntelHexText(0, 0, {1}, 0x00), IntelHexText(0, 0x1234, {2}), IntelHexText(0, 0x2000, {3})}, {kRange}},
      {"20-bit address with bits 8 to 19 set", {IntelHexSegment(0xFFF0), IntelHexText(0, 0x0000, {1}), end},
       {kRange}},
      {"below the area", {IntelHexText(4, 0, {0xFF, 0xEF}), IntelHexText(0, 0xFF00, {1}), end}, {kRange}},
      {"past 0xFFFFFFFF", {IntelHexText(4, 0, {0xFF, 0xFF}), IntelHexText(0, 0xFFF8, Bytes(16, 1)), end},
       {kRange}},
      {"a byte placed twice",
       {linear, IntelHexText(0, 0x0010, {1, 2, 3, 4}), IntelHexText(0, 0x0012, {5}), end},
       {"アドレス 0xFFFC0012 のデータが複数のレコードにあります。ファイルを確認してください。"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
    cont.LoadEmbeddedImage();
    ui_.messages.clear();
    EXPECT_EQ(cont.LoadImageFile(WriteLines("case.hex", c.lines)), 0);
    EXPECT_EQ(ui_.messages, c.messages);
    EXPECT_EQ(cont.ImageLoaded, 0);
    const std::uint8_t* p = cont.ImageStream.Memory();
    EXPECT_EQ(std::count(p, p + cont.ImageStream.Size(), 0), 262144);
  }
}

TEST_F(IntelHexLoader, UnknownTypesArePassedOverButAnOversizedDataRecordFails) {
  LoadEmbedded();
  const std::string base = IntelHexText(4, 0, {0xFF, 0xFC});
  const std::string data = IntelHexText(0, 0, {1});
  EXPECT_EQ(cont_.LoadImageFile(WriteLines("ok.hex", {base, ":0400000500000000F7", ":0400000300000000F9", data,
                                                      IntelHexText(1, 0, {})})),
            1);
  EXPECT_EQ(cont_.LoadImageFile(WriteLines("big.hex", {base, ":81000000ZZ", data, IntelHexText(1, 0, {})})), 0);
  EXPECT_EQ(cont_.ImageLoaded, 0);
}

}  // namespace
}  // namespace kv9::test
