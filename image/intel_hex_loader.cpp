// The Intel HEX loader. Data records are placed at their offset plus the
// base that the last extended segment (type 02, offset x 16) or extended
// linear address (type 04, value x 65536) record set, so files from RX tool
// chains, which use type 04, reach the image area. Data is merged into the
// image the buffer holds, when it holds one for this same area: bytes no
// record covers keep their old values. A file must end with its end-of-file
// record.
#include <algorithm>

#include "image/intel_hex_record.h"
#include "image/load_tally.h"
#include "image/text_file_lines.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9 {

int TFlashWrRXCont::LoadIntelHexFile(const std::string& fileName) {
  const std::vector<std::string> lines = ReadTextLines(fileName);  // throws before anything changes
  const int result = ParseIntelHex(lines);
  if (result) ImageLoaded = 1;
  return result;
}

int TFlashWrRXCont::ParseIntelHex(const std::vector<std::string>& lines) {
  // Old bytes may only stay where they belong: after a failed load the
  // buffer holds fill bytes, and after a ROM size change its bytes belong to
  // other addresses. Merging into either would program bytes that no file
  // and no image put at those addresses.
  if (!ImageLoaded || ImageBase != RomStart) {
    std::fill(ImageStream.Memory(), ImageStream.Memory() + ImageStream.Size(), 0xFF);
  }
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
        PlaceImageRecord(base + record.address, record.data, tally);
        break;
      case IntelHexRecord::Kind::EndOfFile:
        tally.terminated = true;  // later lines are still read
        break;
      case IntelHexRecord::Kind::Ignored:
        break;
    }
  }

  return FinishImageLoad(tally, 0x00);
}

}  // namespace kv9
