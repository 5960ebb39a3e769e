// The Intel HEX loader. Data records are placed at their offset plus the
// base that the last extended segment (type 02, offset x 16) or extended
// linear address (type 04, value x 65536) record set, so files from RX tool
// chains, which use type 04, reach the image area. The file is the whole
// image: the buffer starts all erased (0xFF), so where the file has no
// records (objcopy writes none for gaps between sections) the update
// programs erased bytes, never what an earlier image held there. A file
// must end with its end-of-file record, and a data record after it (two
// files joined) refuses the load.
#include "image/intel_hex_loader.h"

#include "image/image_file_loader.h"
#include "image/intel_hex_record.h"
#include "image/load_tally.h"
#include "image/loader_texts.h"
#include "image/text_file_lines.h"

namespace kv9 {
namespace {

// One sound record before the end-of-file record; `base` is the address
// base the extended address records set.
void TakeRecord(ImageBuffer& image, const IntelHexRecord& record, std::uint32_t& base,
                LoadTally& tally, ImageLoadResult& result) {
  switch (record.kind) {
    case IntelHexRecord::Kind::Segment:
      base = record.segment * 16;
      break;
    case IntelHexRecord::Kind::LinearAddress:
      base = record.segment << 16;
      break;
    case IntelHexRecord::Kind::Data:
      PlaceRecord(image, base + record.address, record.data, tally, result);
      break;
    case IntelHexRecord::Kind::EndOfFile:
      tally.terminated = true;
      break;
    case IntelHexRecord::Kind::Ignored:
      break;
  }
}

}  // namespace

ImageLoadResult LoadIntelHexImage(ImageBuffer& image, const std::string& fileName) {
  const std::vector<std::string> lines = ReadTextLines(fileName);  // throws before anything changes
  ImageLoadResult result = ParseIntelHexImage(image, lines);
  if (result.ok) image.loaded = 1;
  return result;
}

ImageLoadResult ParseIntelHexImage(ImageBuffer& image, const std::vector<std::string>& lines) {
  BeginLoad(image);
  ImageLoadResult result;
  LoadTally tally;
  std::uint32_t base = 0;
  for (std::size_t i = 0; i < lines.size() && !tally.stopped; ++i) {
    const std::string_view text = RecordText(lines[i], i == 0);
    if (text.empty()) continue;
    const IntelHexRecord record = ParseIntelHexLine(text);
    if (record.kind == IntelHexRecord::Kind::Ignored) continue;
    if (tally.terminated) {
      // After the end only data matters; other records are passed over.
      if (record.kind == IntelHexRecord::Kind::Data)
        StopLoad(image, tally, result, DataAfterEndMessage(i + 1));
      continue;
    }
    if (!record.Valid()) {
      // The base stays as it was; the remaining lines are still read.
      tally.BadRecord(i + 1, record.truncated);
      continue;
    }
    TakeRecord(image, record, base, tally, result);
  }

  FinishLoad(image, tally, 0x00, result);
  return result;
}

}  // namespace kv9
