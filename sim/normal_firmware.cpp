#include "normal_firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "wire/embedded_image_layout.h"
#include "wire/frame_sum.h"

namespace kv9::sim {

namespace {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kCodeAct = 0x4E;
constexpr std::uint8_t kCodeQuery = 0x4F;
// A frame that stops arriving half-way is dropped after this much silence,
// so a cut-off frame cannot swallow the start of the next one.
constexpr auto kFrameGap = std::chrono::milliseconds(500);

std::array<std::uint8_t, 9> Padded(const std::string& text) {
  std::array<std::uint8_t, 9> out;
  out.fill(' ');
  for (std::size_t i = 0; i < text.size() && i < out.size(); ++i) {
    out[i] = static_cast<std::uint8_t>(text[i]);
  }
  return out;
}

// Sub-command followed by nine text characters.
std::vector<std::uint8_t> TextReply(std::uint8_t sub, const std::array<std::uint8_t, 9>& text) {
  std::vector<std::uint8_t> r(1 + text.size());
  r[0] = sub;
  std::copy(text.begin(), text.end(), r.begin() + 1);
  return r;
}

}  // namespace

std::vector<std::uint8_t> FirmwareReply(std::uint8_t status, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> f{kStx, 0x00, status, static_cast<std::uint8_t>(data.size())};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(kEtx);
  f.push_back(FrameSum(f.data(), f.size()));
  f.push_back(kCr);
  return f;
}

void NormalFirmware::Start() {
  hasRun_ = true;
  pending_.clear();
  txOn_ = false;
  auto text = ctx_.userArea.View(kRomVersionAddress, kRomVersionLength);
  const bool printable = text.size() == kRomVersionLength &&
                         std::all_of(text.begin(), text.end(),
                                     [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
  if (printable) {
    std::copy(text.begin(), text.end(), romVersion_.begin());
  } else {
    std::memcpy(romVersion_.data(), kUnknownRomVersion, romVersion_.size());
  }
}

std::optional<Clock::time_point> NormalFirmware::PartialDeadline() const {
  if (pending_.empty()) return std::nullopt;
  return lastByteAt_ + kFrameGap;
}

void NormalFirmware::Receive(std::span<const std::uint8_t> bytes, Clock::time_point now) {
  if (!pending_.empty() && now - lastByteAt_ > kFrameGap) pending_.clear();
  lastByteAt_ = now;
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  for (;;) {
    // Anything before STX is line noise to the firmware.
    auto stx = std::find(pending_.begin(), pending_.end(), kStx);
    pending_.erase(pending_.begin(), stx);
    if (pending_.size() < 4) return;
    const std::size_t total = pending_[3] + 7u;
    if (pending_.size() < total) return;
    std::vector<std::uint8_t> frame(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(total));
    if (frame[total - 3] != kEtx || frame[total - 1] != kCr) {
      // Not a frame after all: resynchronise on the next STX.
      pending_.erase(pending_.begin());
      continue;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(total));
    Dispatch(frame);
    if (ctx_.request != ModuleRequest::None) {
      pending_.clear();
      return;
    }
  }
}

void NormalFirmware::Answer(std::uint8_t status, std::vector<std::uint8_t> data) {
  ctx_.Send(FirmwareReply(status, data), ctx_.options.firmwareRate, ReplySum::BeforeEtx);
}

void NormalFirmware::Dispatch(const std::vector<std::uint8_t>& frame) {
  const std::uint8_t code = frame[2];
  const std::uint8_t sub = frame[3] > 0 ? frame[4] : 0;
  ctx_.TraceFrame("RX", ctx_.options.firmwareRate, frame.data(), frame.size());

  char key[16];
  std::snprintf(key, sizeof key, "fw:%02X:%02X", code, sub);
  ctx_.Count(key);

  ctx_.lineFault.reset();
  const auto fault = ctx_.faults.ForFirmware(code, sub);
  if (fault && fault->kind == FaultRule::Kind::NoReply) return;
  if (fault && fault->kind == FaultRule::Kind::Disconnect) {
    ctx_.request = ModuleRequest::Disconnect;
    return;
  }
  if (fault && fault->kind != FaultRule::Kind::ErrorReply) ctx_.lineFault = fault;

  if (const auto refusal = FrameRefusal(frame)) {
    Answer(*refusal, {});
    return;
  }
  std::vector<std::uint8_t> reply;
  std::uint8_t status = Execute(frame, &reply);
  if (fault && fault->kind == FaultRule::Kind::ErrorReply) {
    // The reply keeps its normal length so the refusal is seen, not a time-out;
    // whatever the command would have done is not done.
    status = fault->errorCode;
    if (ctx_.request == ModuleRequest::RestartIntoBoot) ctx_.request = ModuleRequest::None;
  }
  Answer(status, std::move(reply));
}

std::optional<std::uint8_t> NormalFirmware::FrameRefusal(const std::vector<std::uint8_t>& frame) const {
  if (FrameSum(frame.data(), frame.size() - 2) != frame[frame.size() - 2]) return kStatusBadSum;
  // Every frame carries 0x00 after STX; anything else is not a frame of ours.
  if (frame[1] != 0x00) return kStatusBadParameter;
  return std::nullopt;
}

std::uint8_t NormalFirmware::Execute(const std::vector<std::uint8_t>& frame, std::vector<std::uint8_t>* reply) {
  const std::uint8_t code = frame[2];
  const std::uint8_t len = frame[3];
  const std::uint8_t sub = len > 0 ? frame[4] : 0;
  std::span<const std::uint8_t> data(frame.data() + 4, len);
  if (code == kCodeQuery && sub == 0x90) {
    // The version query is exactly 90 00.
    *reply = TextReply(sub, romVersion_);
    return len == 2 && frame[5] == 0x00 ? kStatusOk : kStatusBadParameter;
  }
  if (code == kCodeQuery && sub == 0x93) {
    *reply = TextReply(sub, Padded(ctx_.options.modelName));
    return len == 1 ? kStatusOk : kStatusBadParameter;
  }
  if (code == kCodeQuery && sub == 0x83) return EepromRead(data, reply);
  if (code == kCodeQuery && sub == 0x84) return PowerQuery(data, reply);
  if (code == kCodeAct && (sub == 0x00 || sub == 0x10)) return OperationMode(data, reply);
  if (code == kCodeAct && sub == 0x9E) return TransmitterSwitch(data, reply);
  if (code == kCodeAct && sub == 0x83) return EepromWrite(data, reply);
  if (code == kCodeAct && sub == 0x71) return EepromInit(data, reply);
  if (code == kCodeAct && sub == 0x9B) return BootModeRequest(data, reply);
  reply->assign(len > 0 ? 1 : 0, sub);
  return kStatusUnknownCommand;
}

std::uint8_t NormalFirmware::OperationMode(std::span<const std::uint8_t> d, std::vector<std::uint8_t>*) {
  // The operation-mode reply carries no data: seven bytes in all.
  if (d.size() != 7 || d[4] != 0x01) return kStatusBadParameter;
  std::copy(d.begin(), d.end(), operationFlags_);
  return kStatusOk;
}

std::uint8_t NormalFirmware::TransmitterSwitch(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r) {
  r->push_back(d[0]);
  if (d.size() != 2 || d[1] > 1) return kStatusBadParameter;
  txOn_ = d[1] == 1;
  r->push_back(d[1]);
  return kStatusOk;
}

std::uint8_t NormalFirmware::EepromRead(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r) {
  r->push_back(d[0]);
  if (d.size() != 4) return kStatusBadParameter;
  std::vector<std::uint8_t> words;
  if (!ctx_.eeprom.Read(d[1], d[2], d[3], &words)) return kStatusBadParameter;
  // The reply echoes address and count (not the kind), then the words.
  r->push_back(d[2]);
  r->push_back(d[3]);
  r->insert(r->end(), words.begin(), words.end());
  return kStatusOk;
}

std::uint8_t NormalFirmware::EepromWrite(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r) {
  r->push_back(d[0]);
  if (d.size() < 4 || d.size() != 4u + 2u * d[3] || d[3] == 0) return kStatusBadParameter;
  if (!ctx_.eeprom.Write(d[1], d[2], d.subspan(4))) return kStatusBadParameter;
  return kStatusOk;
}

std::uint8_t NormalFirmware::EepromInit(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r) {
  r->push_back(d[0]);
  if (d.size() > 2 || (d.size() == 2 && d[1] > 1)) return kStatusBadParameter;
  ctx_.eeprom.Initialise(d.size() == 2 && d[1] == 1);
  return kStatusOk;
}

std::uint8_t NormalFirmware::PowerQuery(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r) {
  r->push_back(d[0]);
  if (d.size() != 2) return kStatusBadParameter;
  // Power is only measurable while the transmitter runs.
  const std::uint16_t power = txOn_ ? ctx_.options.powerValue : 0;
  const std::uint16_t ref = ctx_.eeprom.Word(ctx_.eeprom.Factory(), EepromImages::kRefPowerWord);
  r->push_back(d[1]);
  r->push_back(static_cast<std::uint8_t>(power & 0xFF));
  r->push_back(static_cast<std::uint8_t>(power >> 8));
  r->push_back(static_cast<std::uint8_t>(ref & 0xFF));
  r->push_back(static_cast<std::uint8_t>(ref >> 8));
  r->push_back(txOn_ ? 1 : 0);  // transmitter state
  r->push_back(0x00);           // reserved
  return kStatusOk;
}

std::uint8_t NormalFirmware::BootModeRequest(std::span<const std::uint8_t> d, std::vector<std::uint8_t>* r) {
  r->push_back(d[0]);
  const std::size_t codeLength = sizeof kBootAccessCode - 1;
  if (d.size() != 1 + codeLength || !std::equal(d.begin() + 1, d.end(), kBootAccessCode)) {
    return kStatusBadParameter;
  }
  ctx_.request = ModuleRequest::RestartIntoBoot;
  return kStatusOk;
}

}  // namespace kv9::sim
