#include "image/image_digest.h"

#include <algorithm>
#include <vector>

#include "image/sha256.h"

namespace kv9 {

std::string CrcAreaSha256(const ImageBuffer& image) {
  if (image.crcEnd < image.romStart) return DigestHex(Sha256Of(nullptr, 0));
  const std::size_t span = static_cast<std::size_t>(image.crcEnd - image.romStart) + 1;
  const std::size_t held = std::min(span, image.bytes.Size());
  Sha256 hash;
  hash.Update(image.bytes.Memory(), held);
  const std::vector<std::uint8_t> erased(span - held, 0xFF);
  hash.Update(erased.data(), erased.size());
  return DigestHex(hash.Finish());
}

}  // namespace kv9
