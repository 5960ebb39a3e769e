#pragma once
// The Motorola S-record loader on an image buffer. Nothing is shown from
// here: the result lists what the front end must show.
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "image/image_load_result.h"

namespace kv9 {

// Reads the file, parses it and marks the buffer loaded on success. A file
// that cannot be read throws EImageFileError (image/text_file_lines.h)
// before anything changes.
ImageLoadResult LoadSRecordImage(ImageBuffer& image, const std::string& fileName);

// Starts from a buffer of the area's size, all 0xFF; a failed load leaves
// it all 0xFF and not loaded. Does not mark a good load as loaded.
ImageLoadResult ParseSRecordImage(ImageBuffer& image, const std::vector<std::string>& lines);

}  // namespace kv9
