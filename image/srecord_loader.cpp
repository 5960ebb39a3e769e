// The Motorola S-record loader. S2 and S3 records carry data; the buffer
// starts all erased (0xFF), so after a good load every byte no record
// covered is 0xFF. A file must end with its termination record: one cut
// short in a copy would otherwise program the part that arrived and verify
// it against itself.
#include "image/srecord_loader.h"

#include "image/image_file_loader.h"
#include "image/load_tally.h"
#include "image/srecord.h"
#include "image/text_file_lines.h"

namespace kv9 {

ImageLoadResult LoadSRecordImage(ImageBuffer& image, const std::string& fileName) {
  const std::vector<std::string> lines = ReadTextLines(fileName);  // throws before anything changes
  ImageLoadResult result = ParseSRecordImage(image, lines);
  if (result.ok) image.loaded = 1;
  return result;
}

ImageLoadResult ParseSRecordImage(ImageBuffer& image, const std::vector<std::string>& lines) {
  image.Fill(0xFF);
  ImageLoadResult result;
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
        PlaceRecord(image, record.address, record.data, tally, result);
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

  FinishLoad(image, tally, 0xFF, result);
  return result;
}

}  // namespace kv9
