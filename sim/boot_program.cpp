#include "boot_program.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "wire/boot_sum.h"
#include "wire/id_code_table.h"
#include "wire/embedded_image_layout.h"

namespace kv9::sim {

namespace {

constexpr auto kFrameGap = std::chrono::milliseconds(500);
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kIdProtected = 0x16;
// The widest bit-rate error the boot program's UART setting tolerates.
constexpr double kMaxRateError = 0.04;

// The phases a command may be accepted in, one bit each: the reported
// states, refined where the commands they accept differ.
constexpr std::uint16_t kDeviceSelect = 1 << 0;
constexpr std::uint16_t kClockModeSelect = 1 << 1;
constexpr std::uint16_t kBitRateSelect = 1 << 2;
constexpr std::uint16_t kRateConfirm = 1 << 3;  // new bit rate acknowledged, waiting for 0x06
constexpr std::uint16_t kTransitionWait = 1 << 4;
constexpr std::uint16_t kIdCodeWait = 1 << 5;  // the transition reported protection
constexpr std::uint16_t kCommandWait = 1 << 6;
constexpr std::uint16_t kProgramDataWait = 1 << 7;
constexpr std::uint16_t kEraseByNumber = 1 << 8;   // erase block wait, blocks by number (0x58)
constexpr std::uint16_t kEraseByAddress = 1 << 9;  // erase block wait, blocks by address (0x59)
constexpr std::uint16_t kErasing = 1 << 10;
constexpr std::uint16_t kBeforeCommands =
    kDeviceSelect | kClockModeSelect | kBitRateSelect | kTransitionWait | kIdCodeWait;
constexpr std::uint16_t kAnyPhase = 0xFFFF;

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void PutBe32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x >> 24));
  v.push_back(static_cast<std::uint8_t>(x >> 16));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
  v.push_back(static_cast<std::uint8_t>(x));
}

void PutBe16(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x >> 8));
  v.push_back(static_cast<std::uint8_t>(x));
}

bool MatchesAt(const std::vector<std::uint32_t>& rates, std::uint32_t rate) {
  return std::find(rates.begin(), rates.end(), rate) != rates.end();
}

// The peripheral clock that the new bit rate frame's input frequency
// (0.01 MHz, 0 = internal oscillator), multiplier count and two multipliers
// select, or the error code that refuses them.
std::uint8_t PeripheralClock(const CpuProfile& p, std::span<const std::uint8_t> fields,
                             double* hz) {
  const std::uint32_t freq = (std::uint32_t{fields[0]} << 8) | fields[1];
  const std::uint8_t count = fields[2];
  const std::uint8_t mult[2] = {fields[3], fields[4]};
  if (freq == 0 ? !p.internalPeripheralHz : (freq < p.minInputMHz100 || freq > p.maxInputMHz100)) {
    return boot_error::kInputFrequency;
  }
  if (count != 2) return boot_error::kMultiplier;
  for (int i = 0; i < 2; ++i) {
    const auto& allowed = p.clockTypes[i].multipliers;
    if (std::find(allowed.begin(), allowed.end(), mult[i]) == allowed.end()) {
      return boot_error::kMultiplier;
    }
  }
  if (freq == 0) {
    *hz = *p.internalPeripheralHz;
    return boot_error::kNone;
  }
  for (int i = 0; i < 2; ++i) {
    const std::uint32_t f100 = freq * mult[i];
    if (f100 < p.clockTypes[i].minMHz100 || f100 > p.clockTypes[i].maxMHz100) {
      return boot_error::kOperatingFrequency;
    }
  }
  *hz = freq * mult[1] * 10000.0;
  return boot_error::kNone;
}

// How a command's frame is laid out.
enum Layout : std::uint8_t {
  kOneByte,       // the command byte alone
  kSizeByte,      // command, size byte, that many data bytes, sum
  kProgramFrame,  // command, address (4), one programming unit, sum; 0xFFFFFFFF and sum end it
};

}  // namespace

struct BootProgram::Command {
  std::uint8_t code;
  const char* name;
  Layout layout;
  std::uint16_t accepted;  // phase bits
  Handler handler;
};

namespace {
using B = BootProgram;
constexpr std::uint16_t kInquiries = kBeforeCommands | kCommandWait;
}  // namespace

const BootProgram::Command BootProgram::kCommands[] = {
    {0x10, "device selection", kSizeByte, kDeviceSelect, &B::DeviceSelect},
    {0x11, "clock mode selection", kSizeByte, kClockModeSelect, &B::ClockModeSelect},
    {0x3F, "new bit rate selection", kSizeByte, kBitRateSelect, &B::NewBitRate},
    {0x06, "new bit rate confirmation", kOneByte, kRateConfirm, &B::ConfirmBitRate},
    {0x40, "state transition", kOneByte, kTransitionWait | kIdCodeWait, &B::Transition},
    {0x60, "ID code check", kSizeByte, kIdCodeWait, &B::IdCheck},
    {0x20, "supported device inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x21, "clock mode inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x22, "multiplier inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x23, "operating frequency inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x24, "user boot area inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x25, "user area inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x26, "erase block inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x27, "programming unit inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x2A, "data area presence inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x2B, "data area inquiry", kOneByte, kInquiries, &B::Inquiry},
    {0x4F, "status inquiry", kOneByte, kAnyPhase, &B::Inquiry},
    {0x42, "user boot area programming selection", kOneByte, kCommandWait, &B::SelectProgramArea},
    {0x43, "user area programming selection", kOneByte, kCommandWait, &B::SelectProgramArea},
    {0x50, "256-byte programming", kProgramFrame, kProgramDataWait, &B::Program},
    {0x48, "erasure selection", kOneByte, kCommandWait, &B::SelectErase},
    {0x58, "block erasure by number", kSizeByte, kEraseByNumber, &B::EraseBlock},
    {0x59, "block erasure by address", kSizeByte, kEraseByAddress, &B::EraseBlock},
    {0x4C, "user boot area blank check", kOneByte, kCommandWait, &B::BlankCheck},
    {0x4D, "user area blank check", kOneByte, kCommandWait, &B::BlankCheck},
    {0x4A, "user boot area sum check", kOneByte, kCommandWait, &B::SumCheck},
    {0x4B, "user area sum check", kOneByte, kCommandWait, &B::SumCheck},
    {0x61, "data area sum check", kOneByte, kCommandWait, &B::SumCheck},
    {0x52, "memory read", kSizeByte, kCommandWait, &B::MemoryRead},
    {0xFF, "memory read, as the tool sends it in user-boot mode", kSizeByte, kCommandWait,
     &B::MemoryRead},
    {0x71, "lock bit read", kSizeByte, kCommandWait, &B::LockBit},
    {0x77, "lock bit program", kSizeByte, kCommandWait, &B::LockBit},
    {0x75, "lock bit disable", kOneByte, kCommandWait, &B::EnableLockBits},
    {0x7A, "lock bit enable", kOneByte, kCommandWait, &B::EnableLockBits},
    {0x9F, "loader CRC check", kOneByte, kCommandWait, &B::LoaderCrc},
    {0x9D, "loader restart", kOneByte, kCommandWait, &B::LoaderRestart},
};

const BootProgram::Command* BootProgram::Find(std::uint8_t code) {
  for (const Command& c : kCommands) {
    if (c.code == code) return &c;
  }
  return nullptr;
}

void BootProgram::Start() {
  state_ = BootState::Matching;
  const auto& rates = ctx_.options.matchRates;
  rate_ = rates.empty() || MatchesAt(rates, kStartRate) ? kStartRate : rates.front();
  lastError_ = boot_error::kNone;
  zeros_ = 0;
  matched_ = false;
  confirmPending_ = false;
  idPending_ = false;
  pending_.clear();
}

std::optional<Clock::time_point> BootProgram::PartialDeadline() const {
  if (pending_.empty()) return std::nullopt;
  return lastByteAt_ + kFrameGap;
}

std::size_t BootProgram::FrameLength() const {
  if (state_ == BootState::Matching) return 1;
  const Command* command = Find(pending_[0]);
  if (!command || command->layout == kOneByte) return 1;
  if (command->layout == kSizeByte) {
    if (pending_.size() < 2) return 0;
    return 3u + pending_[1];
  }
  if (pending_.size() < 5) return 0;
  return Be32(&pending_[1]) == 0xFFFFFFFF ? 6 : 5 + FlashMemory::kProgramUnit + 1;
}

bool BootProgram::Hears(std::uint32_t rate) const {
  if (state_ == BootState::Matching && !matched_) return MatchesAt(ctx_.options.matchRates, rate);
  return rate == rate_;
}

void BootProgram::Receive(std::span<const std::uint8_t> bytes, std::uint32_t rate,
                          Clock::time_point now) {
  arrivalRate_ = rate;
  if (!pending_.empty() && now - lastByteAt_ > kFrameGap) pending_.clear();
  lastByteAt_ = now;
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  while (!pending_.empty()) {
    const std::size_t n = FrameLength();
    if (n == 0 || pending_.size() < n) return;
    std::vector<std::uint8_t> frame(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    Dispatch(frame);
    if (ctx_.request != ModuleRequest::None) {
      pending_.clear();
      return;
    }
    // The UART now runs at a new rate: whatever followed in this batch was
    // sent at the old one and reaches it only as noise. (Matching that
    // starts over at the batch's own rate keeps the rest of the batch.)
    if (rate_ != arrivalRate_) {
      pending_.clear();
      return;
    }
  }
}

void BootProgram::Ack(std::uint8_t b) {
  ctx_.Send({b}, rate_);
}

void BootProgram::Error(std::uint8_t command, std::uint8_t code) {
  lastError_ = code;
  ctx_.Send({static_cast<std::uint8_t>(command | 0x80), code}, rate_);
}

void BootProgram::DataReply(std::uint8_t code, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> r{code, static_cast<std::uint8_t>(data.size())};
  r.insert(r.end(), data.begin(), data.end());
  r.push_back(BootSum(r.data(), r.size()));
  ctx_.Send(std::move(r), rate_, ReplySum::LastByte);
}

void BootProgram::Matching(std::uint8_t b) {
  if (!matched_ && arrivalRate_ != rate_) {
    // The host changed its rate: measuring starts again at the new one.
    rate_ = arrivalRate_;
    zeros_ = 0;
  }
  if (b == 0x00) {
    if (++zeros_ >= kZerosBeforeAnswer) {
      matched_ = true;
      Ack(0x00);
    }
  } else if (b == 0x55 && matched_) {
    Ack(0xE6);
    state_ = BootState::DeviceSelect;
  } else if (matched_) {
    // Anything else after the 0x00 answer: the confirmation failed.
    Ack(boot_error::kMatching);
    lastError_ = boot_error::kMatching;
    matched_ = false;
    zeros_ = 0;
  }
}

std::uint16_t BootProgram::Phase() const {
  if (confirmPending_) return kRateConfirm;
  switch (state_) {
    case BootState::Matching: return 0;
    case BootState::DeviceSelect: return kDeviceSelect;
    case BootState::ClockModeSelect: return kClockModeSelect;
    case BootState::BitRateSelect: return kBitRateSelect;
    case BootState::TransitionWait: return idPending_ ? kIdCodeWait : kTransitionWait;
    case BootState::Erasing: return kErasing;
    case BootState::CommandWait: return kCommandWait;
    case BootState::ProgramDataWait: return kProgramDataWait;
    case BootState::EraseBlockWait: return ctx_.profile.eraseByAddress ? kEraseByAddress : kEraseByNumber;
  }
  return 0;
}

void BootProgram::Dispatch(const std::vector<std::uint8_t>& f) {
  const std::uint8_t c = f[0];
  char key[16];
  std::snprintf(key, sizeof key, "boot:%02X", c);
  ctx_.Count(key);
  ctx_.TraceFrame("RX", arrivalRate_, f.data(), f.size());

  ctx_.lineFault.reset();
  const auto fault = ctx_.faults.ForBoot(c);
  if (fault && fault->kind == FaultRule::Kind::NoReply) return;
  if (fault && fault->kind == FaultRule::Kind::Disconnect) {
    ctx_.request = ModuleRequest::Disconnect;
    return;
  }
  if (fault && fault->kind == FaultRule::Kind::ErrorReply) {
    Error(c, fault->errorCode);
    return;
  }
  ctx_.lineFault = fault;  // what is left spoils only the reply on the line

  if (state_ == BootState::Matching) {
    Matching(c);
    return;
  }
  const Command* command = Find(c);
  if (!command || !(command->accepted & Phase())) {
    Error(c, boot_error::kCommand);
    return;
  }
  const bool carriesSum = f.size() > 1;
  if (carriesSum && BootSum(f.data(), f.size() - 1) != f.back()) {
    Error(c, boot_error::kSum);
    return;
  }
  const Outcome outcome = (this->*command->handler)(f);
  if (!outcome.has_value()) return;
  if (*outcome != boot_error::kNone) {
    Error(c, *outcome);
  } else {
    lastError_ = boot_error::kNone;
  }
}

BootProgram::Outcome BootProgram::DeviceSelect(std::span<const std::uint8_t> f) {
  if (f[1] != 4) return boot_error::kDataLength;
  if (!std::equal(f.begin() + 2, f.begin() + 6, ctx_.profile.deviceCode.begin())) {
    return boot_error::kDeviceCode;
  }
  state_ = ctx_.profile.hasClockModeStep ? BootState::ClockModeSelect : BootState::BitRateSelect;
  Ack(ctx_.profile.deviceSelectAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::ClockModeSelect(std::span<const std::uint8_t> f) {
  if (f[1] != 1) return boot_error::kDataLength;
  const auto& modes = ctx_.profile.clockModes;
  if (std::find(modes.begin(), modes.end(), f[2]) == modes.end()) return boot_error::kClockMode;
  state_ = BootState::BitRateSelect;
  Ack(kAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::NewBitRate(std::span<const std::uint8_t> f) {
  if (f[1] != 7) return boot_error::kDataLength;
  const std::uint32_t rate = ((std::uint32_t{f[2]} << 8) | f[3]) * 100u;
  const CpuProfile& p = ctx_.profile;
  if (rate == 0) return boot_error::kBitRate;
  double peripheralHz = 0;
  if (p.clockFieldsIgnored) {
    peripheralHz = *p.internalPeripheralHz;
  } else if (const std::uint8_t err = PeripheralClock(p, f.subspan(4, 5), &peripheralHz)) {
    return err;
  }
  // The UART divides the peripheral clock by 16 × an integer: rates it
  // cannot reach closely enough are refused.
  const double divider = std::round(peripheralHz / (16.0 * rate));
  if (divider < 1) return boot_error::kBitRate;
  const double actual = peripheralHz / (16.0 * divider);
  if (std::fabs(actual - rate) / rate > kMaxRateError) return boot_error::kBitRate;

  Ack(kAck);  // still at the old rate
  rate_ = rate;
  confirmPending_ = true;
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::ConfirmBitRate(std::span<const std::uint8_t>) {
  confirmPending_ = false;
  state_ = BootState::TransitionWait;
  Ack(kAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::Transition(std::span<const std::uint8_t>) {
  if (idPending_ || ctx_.options.idProtect != IdProtect::Off) {
    idPending_ = true;
    Ack(kIdProtected);
    return boot_error::kNone;
  }
  state_ = BootState::CommandWait;
  Ack(ctx_.profile.transitionAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::IdCheck(std::span<const std::uint8_t> f) {
  if (f[1] != kIdCodeLength) return boot_error::kDataLength;
  // The flash's ID code: piece A is characters 0..15 of the table, piece B
  // characters 16..31 (cut here, not with the tool's own helper, so the two
  // sides check each other).
  const char* piece = IdCodeTable + (ctx_.options.idProtect == IdProtect::PieceA ? 0 : 16);
  const std::vector<std::uint8_t> expected(piece, piece + 16);
  if (!std::equal(expected.begin(), expected.end(), f.begin() + 2)) return boot_error::kIdCode;
  idPending_ = false;
  state_ = BootState::CommandWait;
  Ack(ctx_.profile.transitionAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::SelectProgramArea(std::span<const std::uint8_t> f) {
  programUserBoot_ = f[0] == 0x42;
  state_ = BootState::ProgramDataWait;
  Ack(kAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::Program(std::span<const std::uint8_t> f) {
  if (f.size() == 6) {  // end of programming
    state_ = BootState::CommandWait;
    Ack(kAck);
    return boot_error::kNone;
  }
  const unsigned block = ++ctx_.blocksReceived;
  const Faults& faults = ctx_.options.faults;
  if (faults.disconnectAtBlock == block) {
    ctx_.request = ModuleRequest::Disconnect;
    return boot_error::kNone;
  }
  if (faults.powerLossAtBlock == block) {
    // The supply fails while this block is being written: it never lands.
    ctx_.request = ModuleRequest::PowerLoss;
    return boot_error::kNone;
  }
  const std::uint32_t address = Be32(&f[1]);
  FlashMemory& area = programUserBoot_ ? ctx_.userBootArea : ctx_.userArea;
  if (!programUserBoot_ && ctx_.lockBitsEnabled) {
    const auto b = ctx_.profile.BlockOf(address);
    if (b && ctx_.locked[*b]) return boot_error::kProgram;
  }
  switch (area.Program(address, f.subspan(5, FlashMemory::kProgramUnit))) {
    case FlashMemory::ProgramResult::BadAddress: return boot_error::kAddress;
    case FlashMemory::ProgramResult::NotErased: return boot_error::kNotErased;
    case FlashMemory::ProgramResult::Ok: break;
  }
  ++ctx_.blocksProgrammed;
  Ack(kAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::SelectErase(std::span<const std::uint8_t>) {
  state_ = BootState::EraseBlockWait;
  Ack(kAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::EraseBlock(std::span<const std::uint8_t> f) {
  const CpuProfile& p = ctx_.profile;
  std::size_t index = 0;
  if (f[0] == 0x58) {
    if (f[1] != 1) return boot_error::kDataLength;
    if (f[2] == 0xFF) {  // closing command
      state_ = BootState::CommandWait;
      Ack(kAck);
      return boot_error::kNone;
    }
    if (f[2] >= p.eraseBlocks.size()) return boot_error::kBlockNumber;
    index = f[2];
  } else {
    if (f[1] != 4) return boot_error::kDataLength;
    const std::uint32_t address = Be32(&f[2]);
    if (address == 0xFFFFFFFF) {
      state_ = BootState::CommandWait;
      Ack(kAck);
      return boot_error::kNone;
    }
    // The address names a block: one that does not start a block is a
    // block error, as a wrong block number is for the numbered parts.
    const auto b = p.BlockOf(address);
    if (!b || p.eraseBlocks[*b].first != address) return boot_error::kBlockNumber;
    index = *b;
  }
  if (ctx_.locked[index]) {
    if (ctx_.lockBitsEnabled) return boot_error::kErase;
    ctx_.locked[index] = false;  // erasing with lock bits disabled clears the bit too
  }
  ctx_.userArea.Erase(p.eraseBlocks[index]);
  ++ctx_.blocksErased;
  Ack(kAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::BlankCheck(std::span<const std::uint8_t> f) {
  if (!(f[0] == 0x4C ? ctx_.userBootArea : ctx_.userArea).IsBlank()) return boot_error::kNotErased;
  Ack(kAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::SumCheck(std::span<const std::uint8_t> f) {
  const std::uint8_t c = f[0];
  const FlashMemory& m = c == 0x4A ? ctx_.userBootArea : c == 0x4B ? ctx_.userArea : ctx_.dataArea;
  std::vector<std::uint8_t> d;
  PutBe32(d, m.ByteSum());
  DataReply(c == 0x4A ? 0x5A : c == 0x4B ? 0x5B : 0x71, d);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::MemoryRead(std::span<const std::uint8_t> f) {
  if (f[1] != 9) return boot_error::kDataLength;
  const std::uint8_t area = f[2];
  const std::uint32_t address = Be32(&f[3]);
  const std::uint32_t size = Be32(&f[7]);
  if (area > 1) return boot_error::kAddress;
  if (size == 0) return boot_error::kDataLength;
  const FlashMemory& m = area == 0 ? ctx_.userBootArea : ctx_.userArea;
  if (!m.Contains(address, size)) return boot_error::kAddress;
  const auto data = m.View(address, size);
  std::vector<std::uint8_t> r{0x52};
  r.reserve(size + 6);
  PutBe32(r, size);
  r.insert(r.end(), data.begin(), data.end());
  r.push_back(BootSum(r.data(), r.size()));
  ctx_.Send(std::move(r), rate_, ReplySum::LastByte);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::LockBit(std::span<const std::uint8_t> f) {
  if (f[1] != 4 || f[2] != 0x01) return boot_error::kDataLength;
  const std::uint32_t address =
      0xFF000000u | (std::uint32_t{f[3]} << 16) | (std::uint32_t{f[4]} << 8) | f[5];
  const auto b = ctx_.profile.BlockOf(address);
  if (!b) return boot_error::kAddress;
  if (f[0] == 0x77) {
    ctx_.locked[*b] = true;
    Ack(kAck);
  } else {
    Ack(ctx_.locked[*b] ? 0x00 : 0x40);  // bit 6 set: unlocked
  }
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::EnableLockBits(std::span<const std::uint8_t> f) {
  ctx_.lockBitsEnabled = f[0] == 0x7A;
  Ack(kAck);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::Inquiry(std::span<const std::uint8_t> f) {
  const std::uint8_t c = f[0];
  const CpuProfile& p = ctx_.profile;
  std::vector<std::uint8_t> d;
  auto area = [&d](const AddressRange& r) {
    PutBe32(d, r.first);
    PutBe32(d, r.last);
  };
  switch (c) {
    case 0x20: {
      const std::string name = p.productName;
      d.push_back(1);
      d.push_back(static_cast<std::uint8_t>(4 + name.size()));
      d.insert(d.end(), p.deviceCode.begin(), p.deviceCode.end());
      d.insert(d.end(), name.begin(), name.end());
      break;
    }
    case 0x21: d = p.clockModes; break;
    case 0x22:
      d.push_back(static_cast<std::uint8_t>(p.clockTypes.size()));
      for (const auto& t : p.clockTypes) {
        d.push_back(static_cast<std::uint8_t>(t.multipliers.size()));
        d.insert(d.end(), t.multipliers.begin(), t.multipliers.end());
      }
      break;
    case 0x23:
      d.push_back(static_cast<std::uint8_t>(p.clockTypes.size()));
      for (const auto& t : p.clockTypes) {
        PutBe16(d, t.minMHz100);
        PutBe16(d, t.maxMHz100);
      }
      break;
    case 0x24: d.push_back(1); area(p.userBootArea); break;
    case 0x25: d.push_back(1); area(p.userArea); break;
    case 0x26:
      EraseBlockReply();
      return std::nullopt;
    case 0x27: PutBe16(d, FlashMemory::kProgramUnit); break;
    case 0x2A: d.push_back(0x21); break;
    case 0x2B: d.push_back(1); area(p.dataArea); break;
    case 0x4F:
      d.push_back(static_cast<std::uint8_t>(state_));
      d.push_back(lastError_);
      break;
  }
  DataReply(static_cast<std::uint8_t>(c + 0x10), d);
  return std::nullopt;
}

// The erase-block inquiry is answered with a two-byte size, as the chips do:
// RX630/RX63T list every block as (first, last); RX231, whose 2 KB blocks do
// not fit a list, describes each area as (first, block size, block count).
void BootProgram::EraseBlockReply() {
  const CpuProfile& p = ctx_.profile;
  std::vector<std::uint8_t> d;
  if (p.eraseByAddress) {
    const std::pair<AddressRange, std::uint32_t> areas[] = {{p.userArea, p.eraseBlockSize},
                                                            {p.dataArea, p.dataEraseBlockSize}};
    d.push_back(2);  // the number of areas described
    for (const auto& [a, blockSize] : areas) {
      PutBe32(d, a.first);
      PutBe32(d, blockSize);
      PutBe32(d, a.Size() / blockSize);
    }
  } else {
    d.push_back(static_cast<std::uint8_t>(p.eraseBlocks.size()));
    for (const auto& b : p.eraseBlocks) {
      PutBe32(d, b.first);
      PutBe32(d, b.last);
    }
  }
  std::vector<std::uint8_t> r{0x36};
  PutBe16(r, static_cast<std::uint16_t>(d.size()));
  r.insert(r.end(), d.begin(), d.end());
  r.push_back(BootSum(r.data(), r.size()));
  ctx_.Send(std::move(r), rate_, ReplySum::LastByte);
}

bool BootProgram::LoaderPresent() const {
  if (!ctx_.userArea.Contains(kLoaderAreaStart, 0x4000)) return false;
  const auto loader = ctx_.userArea.View(kLoaderAreaStart, 0x4000);
  return std::any_of(loader.begin(), loader.end(), [](std::uint8_t b) { return b != 0xFF; });
}

// The resident loader lives in the top 16 KB: once that is erased, nothing
// answers its commands.
BootProgram::Outcome BootProgram::LoaderCrc(std::span<const std::uint8_t>) {
  if (!LoaderPresent()) return boot_error::kCommand;
  std::uint16_t crc = ctx_.LoaderCrc();
  if (ctx_.options.faults.badLoaderCrc) crc = static_cast<std::uint16_t>(crc + 1);
  ctx_.Send({0x9F, static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)}, rate_);
  return boot_error::kNone;
}

BootProgram::Outcome BootProgram::LoaderRestart(std::span<const std::uint8_t>) {
  if (!LoaderPresent()) return boot_error::kCommand;
  Ack(0x9D);
  ctx_.request = ModuleRequest::RestartIntoFirmware;
  return boot_error::kNone;
}

}  // namespace kv9::sim
