#pragma once
// Loading a firmware image from a file into an image buffer: the choice of
// loader by the file's extension, and the two steps both formats share,
// placing one data record and judging the load at its end. Each step adds
// what the front end must show to a result; nothing is shown from here.
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "image/image_load_result.h"
#include "image/load_tally.h"
#include "image/record_placement.h"

namespace kv9 {

// Loads an image file chosen by its extension, ".HEX" (Intel HEX) or ".MOT"
// (S-records), letters in any case; ok when the file loaded without error.
// Any other extension fails with nothing to show and changes nothing but the
// problem text. A file that cannot be read fails with a box naming it and
// why, and changes nothing else either. After a load the image CRC follows
// as a debug line.
ImageLoadResult LoadImageByExtension(ImageBuffer& image, const std::string& fileName);

// The start of a parse: the buffer sized to the whole area, every byte
// erased (0xFF), rewound. A file is the whole image: nothing an earlier
// image or file left may stay where the file has no record.
void BeginLoad(ImageBuffer& image);

// Ends the reading at a record the file must not hold: the tally is failed
// and stopped, the buffer keeps `message` as its problem and the result
// lists it as a box.
void StopLoad(ImageBuffer& image, LoadTally& tally, ImageLoadResult& result,
              const std::string& message);

// Puts one checked data record at its address: written (the tally counts its
// bytes), or refused with a box (StopLoad) when a byte of it lies outside the
// area or an earlier record placed it already. Returns the place it found.
RecordPlace PlaceRecord(ImageBuffer& image, std::uint32_t address,
                        const std::vector<std::uint8_t>& data, LoadTally& tally,
                        ImageLoadResult& result);

// The end of a parse. A file that placed no data byte, ends neither with its
// termination record nor with a matching S5/S6 count, or has a wrong count
// fails with a box. On failure the buffer is filled with `failFill`, rewound
// and no longer loaded; on success its base becomes romStart, and the summary
// debug line follows and, when some of the data will never be programmed, a
// forced line saying how much. Sets result.ok and result.problem.
void FinishLoad(ImageBuffer& image, const LoadTally& tally, std::uint8_t failFill,
                ImageLoadResult& result);

}  // namespace kv9
