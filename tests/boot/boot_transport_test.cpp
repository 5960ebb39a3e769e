// The transport's receivers on a closed port: a scripted message pump plays
// the serial event thread, putting reply bytes into the ring at chosen polls,
// and drives a fake millisecond clock so time-outs pass without waiting.
#include <gtest/gtest.h>

#include <algorithm>

#include <map>
#include <vector>

#include "wire/boot_sum.h"
#include "boot/boot_reply_format.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/message_pump.h"
#include "platform/ticks.h"
#include "tests/support/recorders.h"

namespace kv9 {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ScriptedPump : public MessagePump {
 public:
  explicit ScriptedPump(TFlashWrRXCont& c) : c_(c) {}
  void ProcessMessages() override {}
  // One call is one poll of a reply wait: 10 ms pass, scheduled bytes arrive.
  void WaitMessages(std::uint32_t ms) override {
    ++polls;
    now += ms;
    const auto it = script.find(polls);
    if (it == script.end()) return;
    for (std::uint8_t b : it->second) {
      c_.RxBuffer[static_cast<std::size_t>(c_.RxWritePos)] = b;
      c_.RxWritePos = (c_.RxWritePos + 1) % kRxRingSize;
    }
  }
  std::map<int, Bytes> script;  // poll number (from 1) -> bytes arriving then
  int polls = 0;
  std::uint32_t now = 5000;

 private:
  TFlashWrRXCont& c_;
};

class BootTransport : public ::testing::Test {
 protected:
  BootTransport() : cont(nullptr, &pane, TProgSettings{}), pump(cont) {
    cont.DebugLog = 1;
    SetPump(&pump);
    SetTickSourceForTest([this] { return pump.now; });
  }
  ~BootTransport() override {
    SetTickSourceForTest({});
    SetPump(nullptr);
  }
  static Bytes Reply(std::uint8_t code, const Bytes& data) {
    Bytes r(data.size() + 2);
    r[0] = code;
    r[1] = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), r.begin() + 2);
    r.push_back(BootSum(r.data(), r.size()));
    return r;
  }

  test::RecordingLogPane pane;
  TFlashWrRXCont cont;
  ScriptedPump pump;
};

TEST_F(BootTransport, DataRepliesOfSizeZeroAndTwoHundred) {
  pump.script[2] = {0x3A, 0x00, 0xC6};
  std::uint8_t buffer[258] = {};
  int length = -1;
  EXPECT_EQ(cont.Inquire(0x2A, 0x3A, buffer, length), 1);
  EXPECT_EQ(length, 3);

  Bytes data(200);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0x80 + i);
  const Bytes big = Reply(0x30, data);
  pump.polls = 0;
  pump.script = {{1, Bytes(big.begin(), big.begin() + 2)}, {4, Bytes(big.begin() + 2, big.end())}};
  EXPECT_EQ(cont.RecvInquiryReply(0x30, 1000, length, buffer), 1);
  EXPECT_EQ(length, 203);
  EXPECT_EQ(Bytes(buffer, buffer + 203), big);
}

TEST_F(BootTransport, WrongSumOrShortReplyFails) {
  std::uint8_t buffer[258] = {};
  int length = 0;
  pump.script[1] = {0x3A, 0x01, 0x21, 0x00};
  EXPECT_EQ(cont.RecvInquiryReply(0x3A, 1000, length, buffer), 0);
  cont.RxFlush();
  pump.polls = 0;
  pump.script = {{1, {0x3A, 0x05, 0x21}}};
  EXPECT_EQ(cont.RecvInquiryReply(0x3A, 1000, length, buffer), 0);
  EXPECT_GE(pump.polls, 100);  // waited out its time-out, on one deadline
  EXPECT_LE(pump.polls, 101);
}

TEST_F(BootTransport, ErrorResponseToAnInquiryFailsAtOnce) {
  pump.script[1] = {0xA0, 0x80};
  std::uint8_t buffer[258] = {};
  int length = 0;
  EXPECT_EQ(cont.RecvInquiryReply(0x30, 1000, length, buffer), 0);
  EXPECT_EQ(pump.polls, 1);
  EXPECT_TRUE(pane.lines.empty());  // inquiries log no error code
}

// The erase-block reply is waited for by its two-byte size, across polls; a
// reply with a one-byte size is still taken whole; an error fails at once.
TEST_F(BootTransport, EraseBlockReplyIsWaitedForByItsSizeField) {
  Bytes wide{0x36, 0x00, 0x11, 0x02};
  for (int i = 0; i < 16; ++i) wide.push_back(static_cast<std::uint8_t>(0xF0 + i));
  wide.push_back(BootSum(wide.data(), wide.size()));
  pump.script = {{1, Bytes(wide.begin(), wide.begin() + 2)}, {3, Bytes(wide.begin() + 2, wide.begin() + 4)},
                 {6, Bytes(wide.begin() + 4, wide.end())}};
  std::uint8_t buffer[258] = {};
  int length = 0;
  EXPECT_EQ(cont.EraseBlockInfo(buffer, length), 1);
  EXPECT_EQ(length, 21);
  EXPECT_EQ(Bytes(buffer, buffer + 21), wide);

  const Bytes narrow = Reply(0x36, {0x01, 0xFF, 0xFC, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  pump.polls = 0;
  pump.script = {{1, Bytes(narrow.begin(), narrow.begin() + 3)}, {2, Bytes(narrow.begin() + 3, narrow.end())}};
  EXPECT_EQ(cont.EraseBlockInfo(buffer, length), 1);
  EXPECT_EQ(Bytes(buffer, buffer + length), narrow);
  EXPECT_EQ(EraseBlockLines(buffer, length)[2], "領域先頭アドレス: 0xFFFC0000");

  pump.polls = 0;
  pump.script = {{1, {0xA6, 0x80}}};
  EXPECT_EQ(cont.EraseBlockInfo(buffer, length), 0);
  EXPECT_EQ(pump.polls, 1);
}

TEST_F(BootTransport, WaitResponseLogsTheErrorCode) {
  pump.script[1] = {0x90, 0x21};
  EXPECT_EQ(cont.WaitResponse(0x06, 1000), 0);
  EXPECT_EQ(pane.lines, std::vector<std::string>{"エラーコード: 21"});
  pump.polls = 0;
  pump.script = {{1, {0x06}}};
  EXPECT_EQ(cont.WaitResponse(0x06, 1000), 1);
  // A wrong byte without its error code: failure, nothing logged.
  pump.polls = 0;
  pump.script = {{1, {0xC3}}};
  EXPECT_EQ(cont.WaitResponse(0x06, 1000), 0);
  EXPECT_EQ(pane.lines.size(), 1u);
  // A byte that comes after the time-out is not seen.
  pump.polls = 0;
  pump.script = {{150, {0x06}}};
  EXPECT_EQ(cont.WaitResponse(0x06, 1000), 0);
}

TEST_F(BootTransport, LockStatusReceiver) {
  std::uint8_t status = 0xAA;
  pump.script[1] = {0x00};
  EXPECT_EQ(cont.RecvLockStatus(1000, status), 1);
  EXPECT_EQ(status, 0x00);
  pump.polls = 0;
  pump.script = {{1, {0xF1}}, {3, {0x2A}}};
  EXPECT_EQ(cont.RecvLockStatus(1000, status), 0);
  EXPECT_EQ(status, 0x2A);
  EXPECT_EQ(pane.lines, std::vector<std::string>{"エラーコード: 2A"});
}

TEST_F(BootTransport, MemoryReadReplyLandsInReplyBuf) {
  Bytes r{0x52, 0x00, 0x00, 0x00, 0x04, 0xDE, 0xAD, 0xBE, 0xEF};
  r.push_back(BootSum(r.data(), r.size()));
  pump.script[1] = Bytes(r.begin(), r.begin() + 3);
  pump.script[2] = Bytes(r.begin() + 3, r.end());
  int length = 0;
  EXPECT_EQ(cont.RecvReadReply(0x52, 3000, length), 1);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(Bytes(cont.ReplyBuf.begin(), cont.ReplyBuf.begin() + 10), r);
}

TEST_F(BootTransport, OversizedMemoryReadReplyIsRefusedUntouched) {
  // 1275 data bytes + 6 would need 1281 bytes: one more than ReplyBuf holds.
  cont.ReplyBuf.fill(0x5A);
  Bytes r{0x52, 0x00, 0x00, 0x04, 0xFB};
  r.resize(r.size() + 1275 + 1, 0x11);
  pump.script[1] = r;
  int length = 0;
  EXPECT_EQ(cont.RecvReadReply(0x52, 3000, length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(pump.polls, 1);
  for (std::uint8_t b : cont.ReplyBuf) ASSERT_EQ(b, 0x5A);
  // The largest reply that fits is accepted.
  cont.RxFlush();
  Bytes fits{0x52, 0x00, 0x00, 0x04, 0xFA};
  fits.resize(fits.size() + 1274, 0x11);
  fits.push_back(BootSum(fits.data(), fits.size()));
  pump.polls = 0;
  pump.script = {{1, fits}};
  EXPECT_EQ(cont.RecvReadReply(0x52, 3000, length), 1);
  EXPECT_EQ(length, kReplyBufSize);
}

TEST_F(BootTransport, LoaderCrcCheckComparesWithTheImageCrc) {
  const std::uint16_t crc = cont.ImageCrc();
  pump.script[1] = {0x9F, static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)};
  EXPECT_EQ(cont.LoaderCrcCheck(), 1);
  char expected[32];
  std::snprintf(expected, sizeof expected, "CRC Data: 0x%04X", crc);
  EXPECT_EQ(pane.lines.back(), expected);

  pump.polls = 0;
  pump.script = {{1, {0x9F, static_cast<std::uint8_t>((crc >> 8) ^ 1), static_cast<std::uint8_t>(crc)}}};
  EXPECT_EQ(cont.LoaderCrcCheck(), 0);
  const std::size_t logged = pane.lines.size();
  pump.polls = 0;
  pump.script = {{1, {0x9E, 0x12, 0x34}}};
  EXPECT_EQ(cont.LoaderCrcCheck(), 0);
  pump.polls = 0;
  pump.script = {{1, {0x9F, 0x12}}};
  EXPECT_EQ(cont.LoaderCrcCheck(), 0);
  EXPECT_EQ(pane.lines.size(), logged);  // neither logs a CRC line
}

TEST_F(BootTransport, EraseStatusSetKeepsTheAnswer) {
  std::uint8_t status = 0xAA;
  pump.script[1] = {0x16};
  EXPECT_EQ(cont.EraseStatusSet(status), 1);
  EXPECT_EQ(status, 0x16);
  pump.polls = 0;
  pump.script = {{1, {0xC0}}};
  EXPECT_EQ(cont.EraseStatusSet(status), 0);
  EXPECT_EQ(status, 0xC0);
  pump.polls = 0;
  pump.script = {};
  EXPECT_EQ(cont.EraseStatusSet(status), 0);
  EXPECT_EQ(status, 0x00);
  // RX231 (the default setting) takes 0x06, the others 0x26.
  pump.polls = 0;
  pump.script = {{1, {0x06}}};
  EXPECT_EQ(cont.EraseStatusSet(status), 1);
  cont.Settings.CpuCode = 6;
  pump.polls = 0;
  pump.script = {{1, {0x06}}};
  EXPECT_EQ(cont.EraseStatusSet(status), 0);
  pump.polls = 0;
  pump.script = {{1, {0x26}}};
  EXPECT_EQ(cont.EraseStatusSet(status), 1);
}

}  // namespace
}  // namespace kv9
