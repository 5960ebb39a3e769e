// The S-record loader on files made by other tools and on hand-made files
// with holes, bad checksums, malformed counts and out-of-area records.
#include <cstring>

#include "wire/crc16.h"
#include "image/text_file_lines.h"
#include "loader_fixture.h"

namespace kv9::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
const char* const kRange = "データが、範囲外です！！";
const char* const kNoData = "ファイルに書き込むデータがありません。ファイルを確認してください。";
const char* const kIncomplete =
    "ファイルが途中で終わっています（終了レコードがありません）。ファイルを確認してください。";
const std::string kEnd = "S70500000000FA";  // termination record, start address 0
const std::string kUnprogrammed16K = "書き込まれないデータ[16384Bytes]（ローダ領域 0xFFFFC000～0xFFFFFFFF）";

class SRecordLoader : public LoaderTest {};

TEST_F(SRecordLoader, ObjcopyS3FileOfRandomDataProgramsExactlyThatData) {
  const Bytes data = RandomBytes(262144, 1);
  const std::string bin = WriteBytes("image.bin", data);
  const std::string mot = (dir_ / "image.mot").string();
  Run("objcopy -I binary -O srec --srec-forceS3 --change-addresses 0xFFFC0000 '" + bin + "' '" + mot + "'");

  ASSERT_EQ(cont_.LoadImageFile(mot), 1);
  EXPECT_EQ(cont_.ImageLoaded, 1);
  EXPECT_EQ(Buffer(), data);
  // The top 16 KB hold the resident loader, which the update never programs.
  EXPECT_EQ(pane_.lines, (std::vector<std::string>{"プログラムデータ読み込み終了[262144Bytes]", kUnprogrammed16K,
                                                   CrcText(Crc16(data.data(), 245760))}));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(SRecordLoader, SrecCatFileWithLongestS3RecordsAndHeaderLinesProgramsExactlyThatData) {
  const Bytes data = RandomBytes(262144, 2);
  const std::string bin = WriteBytes("image.bin", data);
  const std::string mot = (dir_ / "image.mot").string();
  // 250 data bytes per record: the most an S3 count can describe. An S0
  // line comes with it, and an S5 count instead of a termination record.
  Run("srec_cat '" + bin + "' -binary -offset 0xFFFC0000 -o '" + mot + "' -motorola -address-length=4 -obs=250");

  ASSERT_EQ(cont_.LoadImageFile(mot), 1);
  EXPECT_EQ(Buffer(), data);
  ASSERT_EQ(pane_.lines.size(), 3u);
  EXPECT_EQ(pane_.lines[0], "プログラムデータ読み込み終了[262144Bytes]");
}

TEST_F(SRecordLoader, PartialCoverageLeavesEveryOtherByteErased) {
  LoadEmbedded();  // the load must not merge into the previous image
  const Bytes data = RandomBytes(262144, 3);
  const std::string bin = WriteBytes("image.bin", data);
  const std::string mot = (dir_ / "part.mot").string();
  Run("srec_cat '" + bin + "' -binary -crop 0 0x100 0x8000 0x8413 0x3FFF0 0x40000 -offset 0xFFFC0000 -o '" + mot +
      "' -motorola -address-length=4");

  ASSERT_EQ(cont_.LoadImageFile(mot), 1);
  Bytes expected(262144, 0xFF);
  for (auto [from, to] : {std::pair{0x0, 0x100}, {0x8000, 0x8413}, {0x3FFF0, 0x40000}})
    std::memcpy(&expected[from], &data[from], to - from);
  EXPECT_EQ(Buffer(), expected);
  EXPECT_EQ(pane_.lines.front(), "プログラムデータ読み込み終了[1315Bytes]");
  EXPECT_EQ(cont_.ImageLoaded, 1);
}

// Hand-made files: one row per situation, each checked for its result, the
// message boxes, what reached the buffer and the summary line.
struct Case {
  const char* name;
  std::vector<std::string> lines;
  int result;
  std::vector<std::string> messages;
  Bytes bufferStart;   // expected first bytes (the rest as noted by allErased)
  bool allErased;      // the whole buffer is 0xFF
  const char* summary; // expected first log line, or null for none
};

const Bytes kA = {0x11, 0x22, 0x33, 0x44};
const Bytes kB = {0x55, 0x66};
const std::vector<std::string> kRangeBox = {kRange};

std::vector<Case> Cases() {
  return {
      {"record at 0x000FFF00 is refused like any outside the area",
       {SRecordText(3, 0xFFFC0000, kA), SRecordText(3, 0x000FFF00, kB)}, 0, kRangeBox, {}, true, nullptr},
      {"record below the area at 0xFFEFFF00 is refused",
       {SRecordText(3, 0xFFFC0000, kA), SRecordText(3, 0xFFEFFF00, kB)}, 0, kRangeBox, {}, true, nullptr},
      {"record running past 0xFFFFFFFF is refused",
       {SRecordText(3, 0xFFFC0000, kA), SRecordText(3, 0xFFFFFFF8, RandomBytes(16, 4))}, 0, kRangeBox, {},
       true, nullptr},
      {"record at 0x00100000 stops the load with one message",
       {SRecordText(3, 0xFFFC0000, kA), SRecordText(3, 0x00100000, kB), SRecordText(3, 0x00200000, kB),
        SRecordText(3, 0xFFFC0010, kB)},
       0, kRangeBox, {}, true, nullptr},
      {"S2 record with bits 8 to 19 set is refused",
       {SRecordText(2, 0x0FFF00, kB), SRecordText(3, 0xFFFC0000, kA)}, 0, kRangeBox, {}, true, nullptr},
      {"S1 record is refused", {SRecordText(3, 0xFFFC0000, kA), "S1050000AABB95"}, 0, kRangeBox, {}, true,
       nullptr},
      {"a byte placed twice names its address",
       {SRecordText(3, 0xFFFC0000, kA), SRecordText(3, 0xFFFC0010, kB), SRecordText(3, 0xFFFC0002, kB)}, 0,
       {"アドレス 0xFFFC0002 のデータが複数のレコードにあります。ファイルを確認してください。"}, {}, true, nullptr},
      {"data record after the termination record (two files joined)",
       {SRecordText(3, 0xFFFC0000, kA), kEnd, "S00600004844521B", SRecordText(3, 0xFFFC0010, kB)}, 0,
       {"4行目のデータレコードが終了レコードの後にあります（ファイルが連結されていませんか）。ファイルを確認してください。"},
       {}, true, nullptr},
      {"lower-case s3 line is not a record",
       {"s" + SRecordText(3, 0x00100000, kB).substr(1), SRecordText(3, 0xFFFC0000, kA)}, 1, {}, kA, false,
       "プログラムデータ読み込み終了[4Bytes]"},
      {"bad checksum in the middle fails at the end without a message",
       {SRecordText(3, 0xFFFC0000, kA), SRecordText(3, 0xFFFC0004, kB, -1, 0x00),
        SRecordText(3, 0xFFFC0006, kA)},
       0, {}, {}, true, nullptr},
      {"lines after a bad checksum are still read",
       {SRecordText(3, 0xFFFC0000, kA, -1, 0x12), SRecordText(3, 0x00100000, kB)}, 0, kRangeBox, {}, true,
       nullptr},
      {"count too small for address and checksum fails like a bad checksum",
       {SRecordText(3, 0xFFFC0000, kA), "S304FFFC0000FC", "S203FFFC00FF", SRecordText(3, 0xFFFC0004, kB)},
       0, {}, {}, true, nullptr},
      {"lines after a malformed count are still read",
       {"S304FFFC0000FC", SRecordText(3, 0x00100000, kB)}, 0, kRangeBox, {}, true, nullptr},
      {"CR LF line ends and blank lines",
       {SRecordText(3, 0xFFFC0000, kA) + "\r", "", SRecordText(3, 0xFFFC0004, kB) + "\r"}, 1, {},
       {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xFF}, false, "プログラムデータ読み込み終了[6Bytes]"},
  };
}

TEST_F(SRecordLoader, HandMadeFiles) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
    cont.DebugLog = 1;
    cont.LoadEmbeddedImage();
    ui_.messages.clear();
    pane_.lines.clear();

    std::vector<std::string> lines = c.lines;
    lines.push_back(kEnd);
    EXPECT_EQ(cont.LoadImageFile(WriteLines("case.mot", lines)), c.result);
    EXPECT_EQ(cont.ImageLoaded, c.result);
    EXPECT_EQ(ui_.messages, c.messages);
    const std::uint8_t* p = cont.ImageStream.Memory();
    ASSERT_EQ(cont.ImageStream.Size(), 262144u);
    EXPECT_EQ(Bytes(p, p + c.bufferStart.size()), c.bufferStart);
    const auto erased = std::count(p, p + 262144, 0xFF);
    if (c.allErased) {
      EXPECT_EQ(erased, 262144);
    } else {
      EXPECT_EQ(erased, 262144 - std::count_if(c.bufferStart.begin(), c.bufferStart.end(),
                                               [](std::uint8_t b) { return b != 0xFF; }));
    }
    const std::string crc = CrcText(Crc16(p, 245760));
    if (c.summary) {
      EXPECT_EQ(pane_.lines, (std::vector<std::string>{c.summary, crc}));
    } else {
      EXPECT_EQ(pane_.lines, std::vector<std::string>{crc});
    }
    EXPECT_EQ(cont.ImageStream.Position(), 0u);
  }
}

// Files that hold no image, or not all of one, never reach the buffer: the
// load fails with a message, whatever the records said so far.
TEST_F(SRecordLoader, FilesThatAreNoCompleteImageAreRefused) {
  const Bytes data = RandomBytes(8192, 5);
  const std::string bin = WriteBytes("image.bin", data);
  const std::string whole = (dir_ / "whole.mot").string();
  Run("objcopy -I binary -O srec --srec-forceS3 --change-addresses 0xFFFC0000 '" + bin + "' '" + whole + "'");
  const std::vector<std::string> records = ReadTextLines(whole);
  ASSERT_GT(records.size(), 10u);
  const std::vector<std::string> firstPart(records.begin(), records.begin() + static_cast<long>(records.size() * 2 / 5));
  std::string cutLine = records[5].substr(0, 12);  // "S3..FFFC00.." alone

  struct Refused {
    const char* name;
    std::vector<std::string> lines;
    std::string message;
  };
  const Refused cases[] = {
      {"empty file", {}, kNoData},
      {"header and termination only", {"S00600004844521B", kEnd}, kNoData},
      {"S1 records only (16-bit addresses)", {"S1050000AABB95", "S9030000FC"}, kRange},
      {"lower-case s3", {"s" + SRecordText(3, 0xFFFC0000, kA).substr(1), kEnd}, kNoData},
      {"first 40 % of an objcopy file", firstPart, kIncomplete},
      {"record line cut short", {records[0], records[1], cutLine, kEnd},
       "3行目のレコードが途中で切れています。ファイルを確認してください。"},
      {"S5 count differs from the data records",
       {SRecordText(3, 0xFFFC0000, kA), SRecordText(3, 0xFFFC0004, kB), "S5030001FB", kEnd},
       "レコード数が一致しません（S5/S6: 1、データレコード: 2）。ファイルを確認してください。"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashWrRXCont cont(&ui_, &pane_, TProgSettings{});
    cont.LoadEmbeddedImage();
    ui_.messages.clear();
    EXPECT_EQ(cont.LoadImageFile(WriteLines("case.mot", c.lines)), 0);
    EXPECT_EQ(cont.ImageLoaded, 0);
    EXPECT_EQ(ui_.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(cont.ImageLoadProblem, c.message);
    const std::uint8_t* p = cont.ImageStream.Memory();
    EXPECT_EQ(std::count(p, p + cont.ImageStream.Size(), 0xFF), 262144);
  }
  // 5000 random bytes named .mot: what looks like a record fails its checksum.
  EXPECT_EQ(cont_.LoadImageFile(WriteBytes("junk.mot", RandomBytes(5000, 6))), 0);
  EXPECT_EQ(cont_.ImageLoaded, 0);
  EXPECT_FALSE(cont_.ImageLoadProblem.empty());
}

TEST_F(SRecordLoader, ByteOrderMarkBlanksAndLinesAfterTheTerminationDoNotChangeTheImage) {
  const std::vector<std::string> lines = {"\xEF\xBB\xBF" + SRecordText(3, 0xFFFC0000, kA),
                                          "  " + SRecordText(3, 0xFFFC0004, kB) + " \t", kEnd, "",
                                          " \t", "garbage", kEnd};
  ASSERT_EQ(cont_.LoadImageFile(WriteLines("bom.mot", lines)), 1);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(Bytes(cont_.ImageStream.Memory(), cont_.ImageStream.Memory() + 7),
            (Bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xFF}));
  EXPECT_EQ(pane_.lines.front(), "プログラムデータ読み込み終了[6Bytes]");
}

TEST_F(SRecordLoader, FailureAfterASuccessClearsTheLoadedImage) {
  ASSERT_EQ(cont_.LoadImageFile(WriteLines("good.mot", {SRecordText(3, 0xFFFC0000, kA), kEnd})), 1);
  ASSERT_EQ(cont_.ImageLoaded, 1);
  EXPECT_EQ(cont_.LoadImageFile(WriteLines("bad.mot", {SRecordText(3, 0xFFFC0000, kA, -1, 0), kEnd})), 0);
  EXPECT_EQ(cont_.ImageLoaded, 0);
  EXPECT_TRUE(BufferIsAll(0xFF));
}

TEST_F(SRecordLoader, DebugLinesStayHiddenWithTheDebugDisplayOff) {
  cont_.DebugLog = 0;
  ASSERT_EQ(cont_.LoadImageFile(WriteLines("good.mot", {SRecordText(3, 0xFFFC0000, kA), kEnd})), 1);
  EXPECT_TRUE(pane_.lines.empty());
}

}  // namespace
}  // namespace kv9::test
