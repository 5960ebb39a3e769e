#include "flash_memory.h"

#include <algorithm>

#include "wire/crc16.h"

namespace kv9::sim {

FlashMemory::FlashMemory(AddressRange range) : range_(range), bytes_(range.Size(), 0xFF) {}

FlashMemory::ProgramResult FlashMemory::Program(std::uint32_t address,
                                                std::span<const std::uint8_t> data) {
  if (data.size() != kProgramUnit || address % kProgramUnit != 0 ||
      !Contains(address, kProgramUnit)) {
    return ProgramResult::BadAddress;
  }
  auto unit = bytes_.begin() + static_cast<std::ptrdiff_t>(Offset(address));
  if (!std::all_of(unit, unit + kProgramUnit, [](std::uint8_t b) { return b == 0xFF; })) {
    return ProgramResult::NotErased;
  }
  std::copy(data.begin(), data.end(), unit);
  return ProgramResult::Ok;
}

void FlashMemory::Erase(const AddressRange& block) {
  if (!Contains(block.first, block.Size())) return;
  auto from = bytes_.begin() + static_cast<std::ptrdiff_t>(Offset(block.first));
  std::fill(from, from + block.Size(), 0xFF);
}

bool FlashMemory::IsBlank(const AddressRange& part) const {
  if (!Contains(part.first, part.Size())) return false;
  auto from = bytes_.begin() + static_cast<std::ptrdiff_t>(Offset(part.first));
  return std::all_of(from, from + part.Size(), [](std::uint8_t b) { return b == 0xFF; });
}

std::span<const std::uint8_t> FlashMemory::View(std::uint32_t address, std::uint32_t count) const {
  if (!Contains(address, count)) return {};
  return {bytes_.data() + Offset(address), count};
}

std::uint32_t FlashMemory::ByteSum() const {
  std::uint32_t sum = 0;
  for (std::uint8_t b : bytes_) sum += b;
  return sum;
}

std::uint16_t FlashMemory::Crc(std::uint32_t first, std::uint32_t last) const {
  first = std::max(first, range_.first);
  last = std::min(last, range_.last);
  if (last < first) return Crc16(nullptr, 0);
  return Crc16(bytes_.data() + Offset(first), last - first + 1);
}

void FlashMemory::LoadTop(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > bytes_.size()) bytes = bytes.subspan(bytes.size() - bytes_.size());
  std::copy(bytes.begin(), bytes.end(), bytes_.end() - static_cast<std::ptrdiff_t>(bytes.size()));
}

void FlashMemory::Fill(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  if (!Contains(address, static_cast<std::uint32_t>(bytes.size()))) return;
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(Offset(address)));
}

}  // namespace kv9::sim
