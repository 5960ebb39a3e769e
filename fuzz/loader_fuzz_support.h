#pragma once
// What the two loader fuzz targets share: a controller whose image buffer
// starts erased for every input, and the model image the file's valid data
// records make over an erased area, compared with the buffer after the load. The model does not
// judge whether the file as a whole is an image (termination, counts, data
// at all): a load may refuse more than the model, never less, and what it
// accepts must be exactly the model.
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
      : romStart(c.RomStart),
        romEnd(c.RomEnd),
        bytes(std::size_t{romEnd - romStart} + 1, start),
        written(bytes.size(), false) {}

  // Places one valid data record as the loaders do; false when the record
  // is refused (a byte outside the area or placed before: the load fails
  // and stops there).
  bool Place(std::uint32_t address, const std::vector<std::uint8_t>& data) {
    if (ClassifyRecord(address, data.size(), romStart, romEnd) != RecordPlace::InArea) {
      ok = false;
      return false;
    }
    const std::size_t offset = address - romStart;
    for (std::size_t i = 0; i < data.size(); ++i) {
      if (written[offset + i]) {
        ok = false;
        return false;
      }
      written[offset + i] = true;
      bytes[offset + i] = data[i];
    }
    placed += data.size();
    return true;
  }

  void Check(const TFlashWrRXCont& c, int loaded, std::uint8_t failFill) const {
    const std::uint8_t* image = c.ImageStream.Memory();
    if (loaded) {
      // Accepted: every record was sound, some data landed, and the image
      // is exactly what the records hold.
      KV9_FUZZ_REQUIRE(ok);
      KV9_FUZZ_REQUIRE(placed > 0);
      KV9_FUZZ_REQUIRE(c.ImageStream.Size() == bytes.size());
      KV9_FUZZ_REQUIRE(std::equal(bytes.begin(), bytes.end(), image));
    } else {
      KV9_FUZZ_REQUIRE(c.ImageLoaded == 0);
      KV9_FUZZ_REQUIRE(std::all_of(image, image + c.ImageStream.Size(), [&](std::uint8_t b) { return b == failFill; }));
    }
  }

  std::uint32_t romStart, romEnd;
  std::vector<std::uint8_t> bytes;
  std::vector<bool> written;  // bytes a record placed
  std::size_t placed = 0;  // data bytes of records in the area
  bool ok = true;          // no record failed its checks or fell outside the area
};

}  // namespace kv9::fuzz
