// The Intel HEX loader. It knows 16-bit offsets extended by segment records
// (20-bit addresses) and merges data records into whatever the buffer held
// before: bytes no record covers keep their old values.
#include <algorithm>

#include "image/intel_hex_record.h"
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
  bool ok = true;
  std::uint32_t byteCount = 0;
  std::uint32_t segmentBase = 0;
  for (const std::string& line : lines) {
    const IntelHexRecord record = ParseIntelHexLine(line);
    if (record.kind == IntelHexRecord::Kind::Segment) {
      if (record.checksumOk) {
        segmentBase = record.segment * 16;
      } else {
        ok = false;
      }
    } else if (record.kind == IntelHexRecord::Kind::Data) {
      if (!record.checksumOk) {
        ok = false;  // remaining lines are still read
        continue;
      }
      if (PlaceImageRecord(record.address + segmentBase, record.data, byteCount) == RecordPlace::OutOfRange) {
        ok = false;
        break;
      }
    }
    // End-of-file and every other type are passed over; later lines still count.
  }

  return FinishImageLoad(ok, 0x00, byteCount);
}

}  // namespace kv9
