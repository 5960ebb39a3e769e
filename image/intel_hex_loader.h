#pragma once
// The Intel HEX loader on an image buffer. Nothing is shown from here: the
// result lists what the front end must show.
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "image/image_load_result.h"

namespace kv9 {

// Reads the file, parses it and marks the buffer loaded on success. A file
// that cannot be read throws EImageFileError (image/text_file_lines.h)
// before anything changes.
ImageLoadResult LoadIntelHexImage(ImageBuffer& image, const std::string& fileName);

// Places the file's data records into a buffer of the area's size that
// starts all 0xFF; a failed load leaves the buffer all 0x00 and not loaded.
// Does not mark a good load as loaded.
ImageLoadResult ParseIntelHexImage(ImageBuffer& image, const std::vector<std::string>& lines);

}  // namespace kv9
