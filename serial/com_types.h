#pragma once
// Settings types of the serial port component. Their ordinals are part of
// the interface: the settings record stores the parity as a TParityBits
// ordinal, and flow-control presets are compared by value.
#include <cstdint>
#include <string>

namespace kv9 {

enum TBaudRate : int {
  brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
  br38400, br56000, br57600, br115200, br128000, br256000
};
enum TDataBits : int { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits : int { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits : int { prNone, prOdd, prEven, prMark, prSpace };
enum TFlowControl : int { fcHardware, fcSoftware, fcNone, fcCustom };
enum TDTRFlowControl : int { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : int { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TComEvent : int { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
enum TComError : int { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
enum TSyncMethod : int { smThreadSync, smWindowSync, smNone };

// A small set over an enumeration, one bit per value in declaration order.
template <typename E, typename Bits>
class EnumSet {
 public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> values) {
    for (E v : values) Include(v);
  }
  static constexpr EnumSet FromBits(Bits bits) {
    EnumSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr void Include(E v) { bits_ = static_cast<Bits>(bits_ | (Bits{1} << static_cast<int>(v))); }
  constexpr void Exclude(E v) { bits_ = static_cast<Bits>(bits_ & ~(Bits{1} << static_cast<int>(v))); }
  constexpr bool Contains(E v) const { return (bits_ >> static_cast<int>(v)) & 1; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr Bits ToBits() const { return bits_; }
  friend constexpr bool operator==(EnumSet a, EnumSet b) { return a.bits_ == b.bits_; }

 private:
  Bits bits_ = 0;
};

// One byte, ceFrame is bit 0.
using TComErrors = EnumSet<TComError, std::uint8_t>;
using TComEvents = EnumSet<TComEvent, std::uint16_t>;

inline constexpr TComEvents kAllComEvents = TComEvents::FromBits(0x3FF);

// The name of a rate ("Custom" for brCustom, else its rate in decimal).
std::string BaudRateToStr(TBaudRate rate);
// The rate whose name equals text ignoring letter case; br9600 when none does.
TBaudRate StrToBaudRate(const std::string& text);
// Bit/s of a table value; 0 for brCustom (its rate is CustomBaudRate).
std::uint32_t BaudRateValue(TBaudRate rate);
// "<Ok>" for the empty set, else "<ComError:Frame,Overrun>" style text.
std::string ComErrorsToStr(TComErrors errors);

struct TComTimeouts {
  std::uint32_t ReadInterval = 0xFFFFFFFF;
  std::uint32_t ReadTotalMultiplier = 0;
  std::uint32_t ReadTotalConstant = 0;
  std::uint32_t WriteTotalMultiplier = 100;
  std::uint32_t WriteTotalConstant = 1000;
};

struct TComBuffer {
  int InputSize = 1024;
  int OutputSize = 1024;
};

}  // namespace kv9
