#include "boot/boot_reply_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "boot/boot_frames.h"
#include "boot/boot_protocol.h"
#include "wire/boot_sum.h"

namespace kv9 {
namespace {

// The data bytes of a reply that really arrived: the size byte's claim cut
// to what was received (the sum byte excluded).
struct ReplyData {
  const std::uint8_t* bytes = nullptr;
  int size = 0;
  bool Has(int offset, int count) const { return offset >= 0 && count >= 0 && offset + count <= size; }
  std::uint8_t At(int i) const { return bytes[i]; }
};

ReplyData DataOf(const std::uint8_t* reply, int length) {
  ReplyData d;
  if (!reply || length < 3) return d;
  d.bytes = reply + 2;
  d.size = std::min<int>(reply[1], length - 3);
  return d;
}

DetailLines AreaLines(const ReplyData& d) {
  if (!d.Has(0, 1)) return {};
  DetailLines lines{"領域数: " + std::to_string(d.At(0))};
  for (int k = 1, at = 1; k <= d.At(0) && d.Has(at, 8); ++k, at += 8) {
    lines.push_back(std::to_string(k) + "--------------------------");
    lines.push_back("領域先頭アドレス: 0x" + Hex8(ReadBe32(d.bytes + at)));
    lines.push_back("領域最終アドレス: 0x" + Hex8(ReadBe32(d.bytes + at + 4)));
  }
  return lines;
}

// One byte, then (first address, block size, block count) per area, 4 bytes
// each; the areas are counted from the data, whatever the first byte says.
DetailLines BlockAreaLines(const ReplyData& d) {
  constexpr int kEntry = 12;
  if (!d.Has(0, 1)) return {};
  const int areas = (d.size - 1) / kEntry;
  DetailLines lines{"領域数: " + std::to_string(areas)};
  for (int k = 1, at = 1; k <= areas; ++k, at += kEntry) {
    const std::uint32_t first = ReadBe32(d.bytes + at);
    const std::uint32_t blockSize = ReadBe32(d.bytes + at + 4);
    const std::uint32_t blocks = ReadBe32(d.bytes + at + 8);
    lines.push_back(std::to_string(k) + "--------------------------");
    lines.push_back("領域先頭アドレス: 0x" + Hex8(first));
    lines.push_back("領域最終アドレス: 0x" + Hex8(first + blockSize * blocks - 1));
    lines.push_back("ブロックサイズ: " + std::to_string(blockSize));
    lines.push_back("ブロック数: " + std::to_string(blocks));
  }
  return lines;
}

// Value rounded to hundredths, as integer hundredths (half away from zero).
long long Hundredths(double value) { return std::llround(value * 100.0); }

}  // namespace

std::string FormatGrouped2(double value) {
  const long long h = Hundredths(value);
  const unsigned long long a = static_cast<unsigned long long>(h < 0 ? -h : h);
  std::string whole = std::to_string(a / 100);
  for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3) whole.insert(static_cast<std::size_t>(i), ",");
  char frac[4];
  std::snprintf(frac, sizeof frac, ".%02llu", a % 100);
  return (h < 0 ? "-" : "") + whole + frac;
}

std::string FormatBare2(double value) {
  const long long h = Hundredths(value);
  const unsigned long long a = static_cast<unsigned long long>(h < 0 ? -h : h);
  char frac[4];
  std::snprintf(frac, sizeof frac, ".%02llu", a % 100);
  const std::string whole = a / 100 ? std::to_string(a / 100) : "";
  return (h < 0 ? "-" : "") + whole + frac;
}

DetailLines ClockModeLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 1)) return {};
  return {"クロックモード: " + std::to_string(d.At(0))};
}

DetailLines SupportDeviceLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 1)) return {};
  DetailLines lines{"デバイス数: " + std::to_string(d.At(0))};
  // The first two records at most, each only when it lies wholly inside the
  // received data; a record that would run past the end is not printed.
  int at = 1;
  for (int record = 0; record < 2 && record < d.At(0); ++record) {
    if (!d.Has(at, 1)) break;
    const int n = d.At(at);
    if (n < 4 || !d.Has(at + 1, n)) break;
    const char* text = reinterpret_cast<const char*>(d.bytes + at + 1);
    lines.push_back("文字数: " + std::to_string(n));
    lines.push_back("デバイスコード: " + std::string(text, 4));
    lines.push_back("品名: " + std::string(text + 4, static_cast<std::size_t>(n - 4)));
    at += 1 + n;
  }
  return lines;
}

DetailLines TeibaiInfoLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 1)) return {};
  DetailLines lines{"クロック数: " + std::to_string(d.At(0))};
  int at = 1;
  for (int type = 0; type < d.At(0) && d.Has(at, 1); ++type) {
    const int m = d.At(at++);
    lines.push_back("逓倍比種類: " + std::to_string(m));
    for (int k = 0; k < m && d.Has(at, 1); ++k) lines.push_back("逓倍比: " + std::to_string(d.At(at++)));
  }
  return lines;
}

DetailLines GetClockInfoLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 1)) return {};
  DetailLines lines{"クロック数: " + std::to_string(d.At(0))};
  for (int type = 0, at = 1; type < d.At(0) && d.Has(at, 4); ++type, at += 4) {
    // The division is single precision, as the frequencies have always been shown.
    const float minimum = static_cast<float>(ReadBe16(d.bytes + at)) / 100.0f;
    const float maximum = static_cast<float>(ReadBe16(d.bytes + at + 2)) / 100.0f;
    lines.push_back("最小周波数: " + FormatBare2(minimum) + "MHz");
    lines.push_back("最大周波数: " + FormatBare2(maximum) + "MHz");
  }
  return lines;
}

DetailLines AreaListLines(const std::uint8_t* reply, int length) { return AreaLines(DataOf(reply, length)); }

int EraseBlockReplyLength(const std::uint8_t* header) {
  if (header[1] != 0) return header[1] + boot_reply_length::kInquiryOverhead;
  if (header[2] == BootSum(header, 2)) return boot_reply_length::kInquiryOverhead;
  return header[2] + boot_reply_length::kWideInquiryOverhead;
}

DetailLines EraseBlockLines(const std::uint8_t* reply, int length) {
  if (!reply || length < boot_reply_length::kWideInquiryHeader) return AreaListLines(reply, length);
  if (EraseBlockReplyLength(reply) != reply[2] + boot_reply_length::kWideInquiryOverhead) {
    return AreaListLines(reply, length);
  }
  ReplyData d;
  d.bytes = reply + boot_reply_length::kWideInquiryHeader;
  d.size = std::min<int>(ReadBe16(reply + 1), length - boot_reply_length::kWideInquiryOverhead);
  // A block count followed by exactly that many (first, last) pairs is a
  // block list; anything else is read as area descriptions.
  if (d.Has(0, 1) && d.size == 1 + 8 * d.At(0)) return AreaLines(d);
  return BlockAreaLines(d);
}

DetailLines WriteSizeLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 2)) return {};
  return {"書き込みサイズ: " + std::to_string(ReadBe16(d.bytes))};
}

DetailLines DataAreaChkLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 1)) return {};
  return {d.At(0) == 0x21 ? "データ領域あり" : "データ領域なし"};
}

DetailLines DataAreaInfoLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 1)) return {};
  DetailLines lines{"領域数: " + std::to_string(d.At(0))};
  if (d.Has(1, 8)) {
    lines.push_back("データ領域先頭アドレス: 0x" + Hex8(ReadBe32(d.bytes + 1)));
    lines.push_back("データ領域最終アドレス: 0x" + Hex8(ReadBe32(d.bytes + 5)));
  }
  return lines;
}

DetailLines BootProgInfoLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 2)) return {};
  return {"ステータス: " + BootStatusText(d.At(0)), "エラー: " + BootErrorText(d.At(1))};
}

DetailLines SumCheckLines(const std::uint8_t* reply, int length) {
  const ReplyData d = DataOf(reply, length);
  if (!d.Has(0, 4)) return {};
  return {"サムチェック: 0x" + Hex8(ReadBe32(d.bytes))};
}

DetailLines LockStatusLines(std::uint8_t status) {
  return {"ステータス: " + std::to_string(status),
          (status & boot_reply::kLockUnlockedBit) ? "アンロック状態" : "ロック状態"};
}

}  // namespace kv9
