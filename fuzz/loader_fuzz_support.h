#pragma once
// What the two loader fuzz targets share: a controller whose image buffer
// starts erased for every input, and the model image the file's valid
// records make, compared with the buffer after the load.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "image/record_placement.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9::fuzz {

inline TFlashWrRXCont& FreshController() {
  static TFlashWrRXCont cont(nullptr, nullptr, TProgSettings{});
  cont.InitImageBuffer();
  return cont;
}

struct ImageModel {
  ImageModel(const TFlashWrRXCont& c, std::uint8_t start)
      : romStart(c.RomStart), romEnd(c.RomEnd), bytes(c.ImageStream.Size(), start) {}

  // Places one valid data record as the loaders do; false when the record
  // is refused (the load fails and stops there).
  bool Place(std::uint32_t address, const std::vector<std::uint8_t>& data) {
    const RecordPlace place = ClassifyRecordAddress(address, romStart, romEnd);
    if (place == RecordPlace::OutOfRange) {
      ok = false;
      return false;
    }
    if (place == RecordPlace::InArea) {
      const std::size_t offset = address - romStart;
      if (offset + data.size() > bytes.size()) bytes.resize(offset + data.size(), 0xFF);
      std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    return true;
  }

  void Check(const TFlashWrRXCont& c, int loaded, std::uint8_t failFill) const {
    KV9_FUZZ_REQUIRE((loaded == 1) == ok);
    const std::uint8_t* image = c.ImageStream.Memory();
    if (ok) {
      KV9_FUZZ_REQUIRE(c.ImageStream.Size() == bytes.size());
      KV9_FUZZ_REQUIRE(std::equal(bytes.begin(), bytes.end(), image));
    } else {
      KV9_FUZZ_REQUIRE(c.ImageLoaded == 0);
      KV9_FUZZ_REQUIRE(std::all_of(image, image + c.ImageStream.Size(), [&](std::uint8_t b) { return b == failFill; }));
    }
  }

  std::uint32_t romStart, romEnd;
  std::vector<std::uint8_t> bytes;
  bool ok = true;
};

}  // namespace kv9::fuzz
