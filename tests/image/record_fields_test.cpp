// The pure pieces the loaders are built from: field positions, hexadecimal
// values, record decoding, the range rule and line splitting.
#include <gtest/gtest.h>

#include "image/hex_fields.h"
#include "image/intel_hex_record.h"
#include "image/record_placement.h"
#include "image/srecord.h"
#include "image/text_file_lines.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9 {
namespace {

TEST(HexFields, ValuesCountForeignCharactersAsZeroInTheirPlace) {
  const std::pair<const char*, std::uint32_t> rows[] = {
      {"", 0},          {"0", 0},        {"7", 7},           {"fF", 0xFF},        {"1A2b", 0x1A2B},
      {"G1", 0x01},     {"1G", 0x10},    {" 1", 0x01},       {"zz", 0},           {"FFFFFFFF", 0xFFFFFFFF},
      {"1FFFFFFFF", 0xFFFFFFFF},  // beyond 32 bits the value wraps
  };
  for (auto [text, value] : rows) EXPECT_EQ(HexValue(text), value) << '"' << text << '"';
  TFlashWrRXCont cont(nullptr, nullptr, TProgSettings{});
  EXPECT_EQ(cont.HexToInt("7fFFffFF"), 0x7FFFFFFF);
  EXPECT_EQ(cont.HexToInt("FFFFFFFF"), -1);
}

TEST(HexFields, FieldsAreCutShortAtTheEndOfTheLine) {
  EXPECT_EQ(TextField("S3FF", 1, 2), "S3");
  EXPECT_EQ(TextField("S3FF", 3, 4), "FF");
  EXPECT_EQ(TextField("S3FF", 5, 2), "");
  EXPECT_EQ(TextField("S3FF", 9, 2), "");
  EXPECT_EQ(HexField("S3F", 3, 2), 0xFu);  // a half field keeps its one digit
}

TEST(SRecordLine, DecodesAnS3LineWrittenBySrecCat) {
  const SRecord r = ParseSRecordLine("S30BFFFC00FA50CF63829583E3");
  EXPECT_TRUE(r.Valid());
  EXPECT_EQ(r.addressBytes, 4u);
  EXPECT_EQ(r.count, 0x0Bu);
  EXPECT_EQ(r.address, 0xFFFC00FAu);
  EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0x50, 0xCF, 0x63, 0x82, 0x95, 0x83}));
  EXPECT_EQ(r.checksum, 0xE3u);
}

TEST(SRecordLine, DecodesS2AddressesAndRejectsWhatIsNoRecord) {
  const SRecord s2 = ParseSRecordLine("S2060FFF00AA55EC");
  EXPECT_TRUE(s2.Valid());
  EXPECT_EQ(s2.address, 0x0FFF00u);
  EXPECT_EQ(s2.data, (std::vector<std::uint8_t>{0xAA, 0x55}));

  EXPECT_FALSE(ParseSRecordLine("S2060FFF00AA55ED").checksumOk);
  for (const char* line : {"s30BFFFC00FA50CF63829583E3", "S00F000068656C6C6F", "S40300", "", "S"})
    EXPECT_EQ(ParseSRecordLine(line).kind, SRecord::Kind::Ignored) << line;
  // S1 data is counted but never placed; S5 carries the count; S9 ends the file.
  EXPECT_EQ(ParseSRecordLine("S1050000AABB95").kind, SRecord::Kind::OtherData);
  const SRecord count = ParseSRecordLine("S5030006F6");
  EXPECT_EQ(count.kind, SRecord::Kind::RecordCount);
  EXPECT_TRUE(count.Valid());
  EXPECT_EQ(count.address, 6u);
  EXPECT_TRUE(ParseSRecordLine("S9030000FC").Valid());
  EXPECT_EQ(ParseSRecordLine("S70500000000FA").kind, SRecord::Kind::Termination);
  // A line that ends before its count says: the missing digits are no zeros.
  const SRecord cut = ParseSRecordLine("S3FFFFFC0500");
  EXPECT_TRUE(cut.truncated);
  EXPECT_FALSE(cut.Valid());

  // Counts that leave no room for address and checksum: malformed, even when
  // the checksum field happens to fit.
  for (const char* line : {"S304FFFC0000FC", "S300FFFC0000", "S203FFFC00FF", "S2000000"}) {
    const SRecord r = ParseSRecordLine(line);
    EXPECT_EQ(r.kind, SRecord::Kind::Data) << line;
    EXPECT_TRUE(r.malformed) << line;
    EXPECT_FALSE(r.Valid()) << line;
    EXPECT_TRUE(r.data.empty()) << line;
  }
  EXPECT_TRUE(ParseSRecordLine("S305FFFC0000FF").Valid());  // no data, but well formed
}

TEST(IntelHexLine, DecodesDataAndSegmentRecordsAndPassesOverTheRest) {
  const IntelHexRecord data = ParseIntelHexLine(":10010000214601360121470136007EFE09D2190140");
  EXPECT_EQ(data.kind, IntelHexRecord::Kind::Data);
  EXPECT_TRUE(data.checksumOk);
  EXPECT_EQ(data.address, 0x0100u);
  ASSERT_EQ(data.data.size(), 16u);
  EXPECT_EQ(data.data.front(), 0x21);
  EXPECT_EQ(data.data.back(), 0x01);
  EXPECT_FALSE(ParseIntelHexLine(":10010000214601360121470136007EFE09D2190141").checksumOk);

  const IntelHexRecord seg = ParseIntelHexLine(":020000021200EA");
  EXPECT_EQ(seg.kind, IntelHexRecord::Kind::Segment);
  EXPECT_TRUE(seg.checksumOk);
  EXPECT_EQ(seg.segment, 0x1200u);

  // The first character is never looked at.
  EXPECT_TRUE(ParseIntelHexLine("X020000021200EA").checksumOk);
  EXPECT_EQ(ParseIntelHexLine(":00000001FF").kind, IntelHexRecord::Kind::EndOfFile);
  EXPECT_TRUE(ParseIntelHexLine(":00000001FF").Valid());
  const IntelHexRecord linear = ParseIntelHexLine(":02000004FFFCFF");
  EXPECT_EQ(linear.kind, IntelHexRecord::Kind::LinearAddress);
  EXPECT_TRUE(linear.Valid());
  EXPECT_EQ(linear.segment, 0xFFFCu);
  EXPECT_EQ(ParseIntelHexLine(":0400000500000000F7").kind, IntelHexRecord::Kind::Ignored);
  // n > 128: more than the record buffer takes, a data record that cannot be loaded.
  EXPECT_TRUE(ParseIntelHexLine(":81000000").oversized);
  EXPECT_TRUE(ParseIntelHexLine(":10010000214601360121470136007EFE09D219").truncated);
}

TEST(RecordPlacement, EveryByteInTheAreaOrTheRecordIsRefused) {
  const std::tuple<std::uint32_t, std::size_t, RecordPlace> rows[] = {
      {0xFFFC0000, 1, RecordPlace::InArea},     {0xFFFFFFFF, 1, RecordPlace::InArea},
      {0xFFFFFFF0, 16, RecordPlace::InArea},    {0xFFFC0000, 0, RecordPlace::InArea},
      {0xFFFFFFF8, 16, RecordPlace::OutOfRange}, {0xFFFFFFFF, 2, RecordPlace::OutOfRange},
      {0xFFFBFFFF, 2, RecordPlace::OutOfRange}, {0xFFEFFF00, 1, RecordPlace::OutOfRange},
      {0x000FFF00, 1, RecordPlace::OutOfRange}, {0x00FFFF00, 1, RecordPlace::OutOfRange},
      {0x00000000, 0, RecordPlace::OutOfRange},
  };
  for (auto [address, count, place] : rows)
    EXPECT_EQ(ClassifyRecord(address, count, 0xFFFC0000, 0xFFFFFFFF), place) << std::hex << address;
}

TEST(RecordPlacement, WritesPastTheEndExtendAndGapsAreErased) {
  TMemoryStream s;
  s.SetSize(4);
  const std::uint8_t bytes[] = {1, 2, 3};
  WriteRecordAt(s, 2, bytes, 3);
  EXPECT_EQ(std::vector<std::uint8_t>(s.Memory(), s.Memory() + s.Size()), (std::vector<std::uint8_t>{0, 0, 1, 2, 3}));
  WriteRecordAt(s, 7, bytes, 1);
  EXPECT_EQ(std::vector<std::uint8_t>(s.Memory(), s.Memory() + s.Size()),
            (std::vector<std::uint8_t>{0, 0, 1, 2, 3, 0xFF, 0xFF, 1}));
  WriteRecordAt(s, 20, bytes, 0);
  EXPECT_EQ(s.Size(), 8u);
}

TEST(TextLines, SplitAtCrLfOrCrLfWithoutATrailingEmptyLine) {
  using L = std::vector<std::string>;
  EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (L{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\r\n"), (L{"a"}));
  EXPECT_EQ(SplitTextLines("a\n\nb\n"), (L{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines("\n"), (L{""}));
  EXPECT_EQ(SplitTextLines(""), L{});
}

}  // namespace
}  // namespace kv9
