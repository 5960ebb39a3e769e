// The transport's receivers, driven through the link interface alone: a fake
// link records every frame sent and hands scripted reply bytes over at chosen
// polls of the reply wait, each poll 10 ms on its own clock, so time-outs
// pass without waiting.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "boot/boot_programmer.h"
#include "boot/line_link.h"
#include "wire/boot_sum.h"
#include "boot/boot_reply_format.h"

namespace kv9 {
namespace {

using Bytes = std::vector<std::uint8_t>;

class FakeLink : public LineLink {
 public:
  int SendBytes(const std::uint8_t* bytes, int count, int flushFirst) override {
    if (flushFirst) RxFlush();
    sent.emplace_back(bytes, bytes + count);
    return count;
  }
  int RxCount() const override { return static_cast<int>(rx_.size()); }
  std::uint8_t RxByte() override {
    const std::uint8_t b = rx_.front();
    rx_.pop_front();
    return b;
  }
  std::uint8_t PeekRx(int offset) const override { return rx_.at(static_cast<std::size_t>(offset)); }
  void RxFlush() override { rx_.clear(); }
  int WaitRxCount(std::uint32_t timeoutMs, int count) override {
    StartWaitTimer();
    return PollRxCount(timeoutMs, count);
  }
  void StartWaitTimer() override { start_ = now_; }
  // One round is one poll: 10 ms pass, the bytes scheduled for it arrive.
  int PollRxCount(std::uint32_t timeoutMs, int count) override {
    for (;;) {
      ++polls;
      now_ += 10;
      const auto it = script.find(polls);
      if (it != script.end()) rx_.insert(rx_.end(), it->second.begin(), it->second.end());
      if (RxCount() >= count) return 1;
      if (now_ - start_ >= timeoutMs) return 0;
    }
  }
  int ReopenAtRate(std::uint32_t) override { return 1; }
  bool Stopped() const override { return false; }
  void AddLog(const std::string& text, int) override { lines.push_back(text); }
  LinkUi* Owner() const override { return nullptr; }

  // Bytes already unread before a command, which its flush must discard.
  void Stale(const Bytes& bytes) { rx_.assign(bytes.begin(), bytes.end()); }
  // The next exchange: poll numbers restart at 1, nothing sent yet.
  void Next(std::map<int, Bytes> arrivals) {
    polls = 0;
    script = std::move(arrivals);
    sent.clear();
  }

  std::map<int, Bytes> script;  // poll number (from 1) -> bytes arriving then
  int polls = 0;
  std::vector<Bytes> sent;
  std::vector<std::string> lines;

 private:
  std::deque<std::uint8_t> rx_;
  std::uint32_t now_ = 5000;
  std::uint32_t start_ = 0;
};

class BootTransport : public ::testing::Test {
 protected:
  static Bytes Reply(std::uint8_t code, const Bytes& data) {
    Bytes r(data.size() + 2);
    r[0] = code;
    r[1] = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), r.begin() + 2);
    r.push_back(BootSum(r.data(), r.size()));
    return r;
  }

  FakeLink link;
  TProgSettings settings;  // CpuCode 5, the RX231
  ReplyBuffer reply{};
  BlockBuffer block{};
  std::int32_t loaderCrc = -1;
  BootProgrammer boot{link, settings, reply, block, loaderCrc};
};

TEST_F(BootTransport, DataRepliesOfSizeZeroAndTwoHundred) {
  link.Stale({0x3A, 0x05});  // a late reply of an earlier command
  link.Next({{2, {0x3A, 0x00, 0xC6}}});
  std::uint8_t buffer[258] = {};
  int length = -1;
  EXPECT_EQ(boot.Inquire(0x2A, 0x3A, buffer, length), 1);
  EXPECT_EQ(link.sent, std::vector<Bytes>{{0x2A}});
  EXPECT_EQ(length, 3);

  Bytes data(200);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0x80 + i);
  const Bytes big = Reply(0x30, data);
  link.Next({{1, Bytes(big.begin(), big.begin() + 2)}, {4, Bytes(big.begin() + 2, big.end())}});
  EXPECT_EQ(boot.RecvInquiryReply(0x30, 1000, length, buffer), 1);
  EXPECT_EQ(length, 203);
  EXPECT_EQ(Bytes(buffer, buffer + 203), big);
}

TEST_F(BootTransport, WrongSumOrShortReplyFails) {
  std::uint8_t buffer[258] = {};
  int length = 0;
  link.Next({{1, {0x3A, 0x01, 0x21, 0x00}}});
  EXPECT_EQ(boot.RecvInquiryReply(0x3A, 1000, length, buffer), 0);
  link.RxFlush();
  link.Next({{1, {0x3A, 0x05, 0x21}}});
  EXPECT_EQ(boot.RecvInquiryReply(0x3A, 1000, length, buffer), 0);
  EXPECT_EQ(link.polls, 100);  // waited out its time-out, on one deadline
}

TEST_F(BootTransport, ErrorResponseToAnInquiryFailsAtOnce) {
  link.Next({{1, {0xA0, 0x80}}});
  std::uint8_t buffer[258] = {};
  int length = 0;
  EXPECT_EQ(boot.RecvInquiryReply(0x30, 1000, length, buffer), 0);
  EXPECT_EQ(link.polls, 1);
  EXPECT_TRUE(link.lines.empty());  // inquiries log no error code
}

// The erase-block reply is waited for by its two-byte size, across polls; a
// reply with a one-byte size is still taken whole; an error fails at once.
TEST_F(BootTransport, EraseBlockReplyIsWaitedForByItsSizeField) {
  Bytes wide{0x36, 0x00, 0x11, 0x02};
  for (int i = 0; i < 16; ++i) wide.push_back(static_cast<std::uint8_t>(0xF0 + i));
  wide.push_back(BootSum(wide.data(), wide.size()));
  link.Next({{1, Bytes(wide.begin(), wide.begin() + 2)}, {3, Bytes(wide.begin() + 2, wide.begin() + 4)},
             {6, Bytes(wide.begin() + 4, wide.end())}});
  std::uint8_t buffer[258] = {};
  int length = 0;
  EXPECT_EQ(boot.InquireEraseBlocks(buffer, length), 1);
  EXPECT_EQ(link.sent, std::vector<Bytes>{{0x26}});
  EXPECT_EQ(length, 21);
  EXPECT_EQ(Bytes(buffer, buffer + 21), wide);

  const Bytes narrow = Reply(0x36, {0x01, 0xFF, 0xFC, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  link.Next({{1, Bytes(narrow.begin(), narrow.begin() + 3)}, {2, Bytes(narrow.begin() + 3, narrow.end())}});
  EXPECT_EQ(boot.InquireEraseBlocks(buffer, length), 1);
  EXPECT_EQ(Bytes(buffer, buffer + length), narrow);
  EXPECT_EQ(EraseBlockLines(buffer, length)[2], "領域先頭アドレス: 0xFFFC0000");

  link.Next({{1, {0xA6, 0x80}}});
  EXPECT_EQ(boot.InquireEraseBlocks(buffer, length), 0);
  EXPECT_EQ(link.polls, 1);
}

TEST_F(BootTransport, WaitResponseLogsTheErrorCode) {
  link.Next({{1, {0x90, 0x21}}});
  EXPECT_EQ(boot.WaitResponse(0x06, 1000), 0);
  EXPECT_EQ(link.lines, std::vector<std::string>{"エラーコード: 21"});
  link.Next({{1, {0x06}}});
  EXPECT_EQ(boot.SendCmdByte(0x4D, 0x06), 1);
  EXPECT_EQ(link.sent, std::vector<Bytes>{{0x4D}});
  // A wrong byte without its error code: failure, nothing logged.
  link.Next({{1, {0xC3}}});
  EXPECT_EQ(boot.WaitResponse(0x06, 1000), 0);
  EXPECT_EQ(link.lines.size(), 1u);
  // A byte that comes after the time-out is not seen.
  link.Next({{150, {0x06}}});
  EXPECT_EQ(boot.WaitResponse(0x06, 1000), 0);
}

TEST_F(BootTransport, LockStatusReceiver) {
  std::uint8_t status = 0xAA;
  link.Next({{1, {0x00}}});
  EXPECT_EQ(boot.ReadLockBitStatus(0xFFFEFFFF, status), 1);
  EXPECT_EQ(link.sent, (std::vector<Bytes>{{0x71, 0x04, 0x01, 0xFE, 0xFF, 0xFF, 0x8E}}));
  EXPECT_EQ(status, 0x00);
  link.Next({{1, {0xF1}}, {3, {0x2A}}});
  EXPECT_EQ(boot.RecvLockStatus(1000, status), 0);
  EXPECT_EQ(status, 0x2A);
  EXPECT_EQ(link.lines, std::vector<std::string>{"エラーコード: 2A"});
}

TEST_F(BootTransport, MemoryReadReplyLandsInReplyBuf) {
  Bytes r{0x52, 0x00, 0x00, 0x00, 0x04, 0xDE, 0xAD, 0xBE, 0xEF};
  r.push_back(BootSum(r.data(), r.size()));
  link.Next({{1, Bytes(r.begin(), r.begin() + 3)}, {2, Bytes(r.begin() + 3, r.end())}});
  int length = 0;
  EXPECT_EQ(boot.RecvReadReply(0x52, 3000, length), 1);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 10), r);
}

TEST_F(BootTransport, OversizedMemoryReadReplyIsRefusedUntouched) {
  // 1275 data bytes + 6 would need 1281 bytes: one more than ReplyBuf holds.
  reply.fill(0x5A);
  Bytes r{0x52, 0x00, 0x00, 0x04, 0xFB};
  r.resize(r.size() + 1275 + 1, 0x11);
  link.Next({{1, r}});
  int length = 0;
  EXPECT_EQ(boot.RecvReadReply(0x52, 3000, length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(link.polls, 1);
  for (std::uint8_t b : reply) ASSERT_EQ(b, 0x5A);
  // The largest reply that fits is accepted.
  link.RxFlush();
  Bytes fits{0x52, 0x00, 0x00, 0x04, 0xFA};
  fits.resize(fits.size() + 1274, 0x11);
  fits.push_back(BootSum(fits.data(), fits.size()));
  link.Next({{1, fits}});
  EXPECT_EQ(boot.RecvReadReply(0x52, 3000, length), 1);
  EXPECT_EQ(length, kReplyBufSize);
}

TEST_F(BootTransport, LoaderCrcCheckComparesWithTheImageCrc) {
  link.Next({{1, {0x9F, 0x12, 0x34}}});
  EXPECT_EQ(boot.LoaderCrcCheck(0x1234), 1);
  EXPECT_EQ(link.sent, std::vector<Bytes>{{0x9F}});
  EXPECT_EQ(link.lines.back(), "CRC Data: 0x1234");
  EXPECT_EQ(loaderCrc, 0x1234);

  link.Next({{1, {0x9F, 0x13, 0x34}}});
  EXPECT_EQ(boot.LoaderCrcCheck(0x1234), 0);
  const std::size_t logged = link.lines.size();
  link.Next({{1, {0x9E, 0x12, 0x34}}});
  EXPECT_EQ(boot.LoaderCrcCheck(0x1234), 0);
  link.Next({{1, {0x9F, 0x12}}});
  EXPECT_EQ(boot.LoaderCrcCheck(0x1234), 0);
  EXPECT_EQ(link.lines.size(), logged);  // neither logs a CRC line
}

TEST_F(BootTransport, EraseStatusSetKeepsTheAnswer) {
  std::uint8_t status = 0xAA;
  link.Next({{1, {0x16}}});
  EXPECT_EQ(boot.EraseStatusSet(status), 1);
  EXPECT_EQ(link.sent, std::vector<Bytes>{{0x40}});
  EXPECT_EQ(status, 0x16);
  link.Next({{1, {0xC0}}});
  EXPECT_EQ(boot.EraseStatusSet(status), 0);
  EXPECT_EQ(status, 0xC0);
  link.Next({});
  EXPECT_EQ(boot.EraseStatusSet(status), 0);
  EXPECT_EQ(status, 0x00);
  // RX231 (the default setting) takes 0x06, the others 0x26.
  link.Next({{1, {0x06}}});
  EXPECT_EQ(boot.EraseStatusSet(status), 1);
  settings.CpuCode = 6;
  link.Next({{1, {0x06}}});
  EXPECT_EQ(boot.EraseStatusSet(status), 0);
  link.Next({{1, {0x26}}});
  EXPECT_EQ(boot.EraseStatusSet(status), 1);
}

}  // namespace
}  // namespace kv9
