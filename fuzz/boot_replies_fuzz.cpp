// The boot program's inquiry-reply decoders. Each gets the reply in a heap
// block of exactly the bytes received, so AddressSanitizer stops any read
// past them; and the lines must not change when the same bytes sit in the
// tool's full-size inquiry buffer followed by other bytes, so nothing past
// the received length (inside a larger buffer) is read either.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "boot/boot_protocol.h"
#include "boot/boot_reply_format.h"
#include "fuzz/fuzz_check.h"

namespace {

using Decoder = kv9::DetailLines (*)(const std::uint8_t*, int);

constexpr Decoder kDecoders[] = {
    kv9::ClockModeLines,   kv9::SupportDeviceLines, kv9::TeibaiInfoLines, kv9::GetClockInfoLines,
    kv9::AreaListLines,    kv9::WriteSizeLines,     kv9::DataAreaChkLines, kv9::DataAreaInfoLines,
    kv9::BootProgInfoLines, kv9::SumCheckLines,
};
constexpr std::size_t kDecoderCount = sizeof(kDecoders) / sizeof(kDecoders[0]);

kv9::DetailLines InFullBuffer(Decoder decode, const std::uint8_t* reply, int length, std::uint8_t fill) {
  std::vector<std::uint8_t> buffer(kv9::kInquiryBufSize, fill);
  std::memcpy(buffer.data(), reply, static_cast<std::size_t>(length));
  return decode(buffer.data(), length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // A reply is at most the full inquiry buffer.
  const std::size_t received = std::min<std::size_t>(size - 1, kv9::kInquiryBufSize);
  const int length = static_cast<int>(received);
  const std::uint8_t selector = data[0];
  if (selector % (kDecoderCount + 1) == kDecoderCount) {
    (void)kv9::LockStatusLines(received ? data[1] : 0);
    return 0;
  }
  const Decoder decode = kDecoders[selector % (kDecoderCount + 1)];

  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[received ? received : 1]);
  if (received) std::memcpy(exact.get(), data + 1, received);
  const kv9::DetailLines lines = decode(exact.get(), length);

  KV9_FUZZ_REQUIRE(lines == InFullBuffer(decode, data + 1, length, 0x00));
  KV9_FUZZ_REQUIRE(lines == InFullBuffer(decode, data + 1, length, 0xFF));
  return 0;
}
