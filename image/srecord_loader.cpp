// The Motorola S-record loader. S2 and S3 records carry data; the buffer
// starts all erased (0xFF), so after a good load every byte no record
// covered is 0xFF.
#include <algorithm>

#include "image/srecord.h"
#include "image/text_file_lines.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9 {

int TFlashWrRXCont::LoadSRecordFile(const std::string& fileName) {
  const std::vector<std::string> lines = ReadTextLines(fileName);  // throws before anything changes
  const int result = ParseSRecords(lines);
  if (result) ImageLoaded = 1;
  return result;
}

int TFlashWrRXCont::ParseSRecords(const std::vector<std::string>& lines) {
  std::fill(ImageStream.Memory(), ImageStream.Memory() + ImageStream.Size(), 0xFF);
  bool ok = true;
  std::uint32_t byteCount = 0;
  for (const std::string& line : lines) {
    const SRecord record = ParseSRecordLine(line);
    if (record.kind != SRecord::Kind::Data) continue;
    if (!record.Valid()) {
      // A bad checksum, or a count too small to hold address and checksum:
      // the load fails, but the rest of the file is still read.
      ok = false;
      continue;
    }
    if (PlaceImageRecord(record.address, record.data, byteCount) == RecordPlace::OutOfRange) {
      ok = false;
      break;
    }
  }

  return FinishImageLoad(ok, 0xFF, byteCount);
}

}  // namespace kv9
