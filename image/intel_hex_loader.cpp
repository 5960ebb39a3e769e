// The Intel HEX loader. Data records are placed at their offset plus the
// base that the last extended segment (type 02, offset x 16) or extended
// linear address (type 04, value x 65536) record set, so files from RX tool
// chains, which use type 04, reach the image area. Data is merged into the
// image the buffer holds, when it holds one for this same area: bytes no
// record covers keep their old values. A file must end with its end-of-file
// record.
#include "image/intel_hex_loader.h"

#include "image/image_file_loader.h"
#include "image/intel_hex_record.h"
#include "image/load_tally.h"
#include "image/text_file_lines.h"

namespace kv9 {

ImageLoadResult LoadIntelHexImage(ImageBuffer& image, const std::string& fileName) {
  const std::vector<std::string> lines = ReadTextLines(fileName);  // throws before anything changes
  ImageLoadResult result = ParseIntelHexImage(image, lines);
  if (result.ok) image.loaded = 1;
  return result;
}

ImageLoadResult ParseIntelHexImage(ImageBuffer& image, const std::vector<std::string>& lines) {
  // Old bytes may only stay where they belong: after a failed load the
  // buffer holds fill bytes, and after a ROM size change its bytes belong to
  // other addresses. Merging into either would program bytes that no file
  // and no image put at those addresses.
  if (!image.loaded || image.base != image.romStart) image.Fill(0xFF);
  ImageLoadResult result;
  LoadTally tally;
  std::uint32_t base = 0;
  for (std::size_t i = 0; i < lines.size() && !tally.stopped; ++i) {
    const std::string_view text = RecordText(lines[i], i == 0);
    if (text.empty()) continue;
    const IntelHexRecord record = ParseIntelHexLine(text);
    if (record.kind == IntelHexRecord::Kind::Ignored) continue;
    if (!record.Valid()) {
      // The base stays as it was; the remaining lines are still read.
      tally.BadRecord(i + 1, record.truncated);
      continue;
    }
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
        tally.terminated = true;  // later lines are still read
        break;
      case IntelHexRecord::Kind::Ignored:
        break;
    }
  }

  FinishLoad(image, tally, 0x00, result);
  return result;
}

}  // namespace kv9
