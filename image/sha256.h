#pragma once
// SHA-256 (FIPS 180-4) of a byte range: the identity of an image by its
// content, the same whatever file format carried it. Pure.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv9 {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Fed in pieces of any size; Finish() pads and returns the digest (the
// object is then spent).
class Sha256 {
 public:
  Sha256();
  void Update(const std::uint8_t* data, std::size_t size);
  Sha256Digest Finish();

 private:
  void Block(const std::uint8_t* block);
  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  std::uint64_t totalBytes_ = 0;
};

Sha256Digest Sha256Of(const std::uint8_t* data, std::size_t size);
// The digest as 64 lower-case hexadecimal digits.
std::string DigestHex(const Sha256Digest& digest);

}  // namespace kv9
