// The Motorola S-record loader. S2 and S3 records carry data; the buffer
// starts all erased (0xFF), so after a good load every byte no record
// covered is 0xFF. A file must end with its termination record: one cut
// short in a copy would otherwise program the part that arrived and verify
// it against itself.
#include <algorithm>

#include "image/load_tally.h"
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
  LoadTally tally;
  for (std::size_t i = 0; i < lines.size() && !tally.terminated && !tally.stopped; ++i) {
    const SRecord record = ParseSRecordLine(RecordText(lines[i], i == 0));
    if (record.kind == SRecord::Kind::Ignored) continue;
    if (!record.Valid()) {
      // A bad checksum, a count too small to hold address and checksum, or
      // a line cut short: the load fails, but the rest of the file is still
      // read.
      tally.BadRecord(i + 1, record.truncated);
      continue;
    }
    switch (record.kind) {
      case SRecord::Kind::Data:
        ++tally.dataRecords;
        tally.countedToTheEnd = false;
        PlaceImageRecord(record.address, record.data, tally);
        break;
      case SRecord::Kind::OtherData:
        ++tally.dataRecords;  // S1: counted, never placed
        tally.countedToTheEnd = false;
        break;
      case SRecord::Kind::RecordCount:
        tally.countedToTheEnd = record.address == tally.dataRecords;
        if (!tally.countedToTheEnd) {
          tally.countMismatch = true;
          tally.countAnnounced = record.address;
          tally.countFound = tally.dataRecords;
        }
        break;
      case SRecord::Kind::Termination:
        tally.terminated = true;  // whatever follows is not part of the image
        break;
      case SRecord::Kind::Ignored:
        break;
    }
  }

  return FinishImageLoad(tally, 0xFF);
}

}  // namespace kv9
