#include "image/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace kv9 {

void TMemoryStream::SetSize(std::size_t size) {
  bytes_.resize(size, 0);
  position_ = std::min(position_, size);
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= bytes_.size()) return 0;
  const std::size_t n = std::min(count, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return;
  if (position_ + count > bytes_.size()) bytes_.resize(position_ + count, 0);
  std::memcpy(bytes_.data() + position_, buffer, count);
  position_ += count;
}

}  // namespace kv9
