// SHA-256 against the published test vectors (FIPS 180-4 examples, NIST
// CAVS), fed whole and in pieces, and the identity of an image by its CRC
// area with the erased bytes it does not hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/image_area.h"
#include "image/image_digest.h"
#include "image/sha256.h"

namespace kv9 {
namespace {

std::string Hex(const std::string& text) {
  return DigestHex(Sha256Of(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(Sha256, KnownVectorsWholeAndInPiecesAcrossBlockBoundaries) {
  EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(Hex(twoBlocks), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // 55 and 56 bytes: the padding fits the block, or needs another one.
  EXPECT_EQ(Hex(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
  EXPECT_EQ(Hex(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
  // A million 'a', fed in pieces of 7 bytes (none a divisor of 64).
  Sha256 hash;
  const std::string piece(7, 'a');
  for (int i = 0; i < 142857; ++i) hash.Update(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size());
  hash.Update(reinterpret_cast<const std::uint8_t*>("a"), 1);
  EXPECT_EQ(DigestHex(hash.Finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, AnImageIsItsCrcAreaWithTheErasedBytesItDoesNotHold) {
  ImageBuffer image;
  image.SetArea(RomStartFor(11));  // 256K: 0xFFFC0000
  image.Reset();
  image.bytes.Memory()[0] = 0x12;
  image.bytes.Memory()[0x3BFFF] = 0x34;  // 0xFFFFBFFF, the area's last byte
  std::vector<std::uint8_t> area(0x3C000, 0xFF);
  area[0] = 0x12;
  area[0x3BFFF] = 0x34;
  const std::string whole = DigestHex(Sha256Of(area.data(), area.size()));
  EXPECT_EQ(CrcAreaSha256(image), whole);
  // The bytes above the CRC area (the user boot area) are not the image's identity.
  image.bytes.Memory()[0x3C000] = 0x00;
  EXPECT_EQ(CrcAreaSha256(image), whole);
  // A buffer that ends early: the flash past it stays erased.
  image.bytes.SetSize(0x1000);
  area[0x3BFFF] = 0xFF;
  EXPECT_EQ(CrcAreaSha256(image), DigestHex(Sha256Of(area.data(), area.size())));
}

}  // namespace
}  // namespace kv9
