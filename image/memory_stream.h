#pragma once
// A growable in-memory byte stream with a size and a position, as the image
// buffer needs it: reads return at most the bytes between the position and
// the end; writes at or beyond the end extend the stream.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv9 {

class TMemoryStream {
 public:
  std::size_t Size() const { return bytes_.size(); }
  // Resizing keeps existing bytes; new bytes are zero. The position is kept
  // unless it would lie past the new end.
  void SetSize(std::size_t size);
  std::size_t Position() const { return position_; }
  void Seek(std::size_t position) { position_ = position; }
  void Rewind() { position_ = 0; }
  std::size_t Read(void* buffer, std::size_t count);
  void Write(const void* buffer, std::size_t count);
  std::uint8_t* Memory() { return bytes_.data(); }
  const std::uint8_t* Memory() const { return bytes_.data(); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace kv9
