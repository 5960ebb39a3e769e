// The Motorola S-record loader. S2 and S3 records carry data (S1 records
// too, but at 16-bit addresses, which no image area reaches, so they are
// refused like every record outside the area). The buffer starts all erased
// (0xFF), so after a good load every byte no record covered is 0xFF. A file
// must end with its termination record: one cut short in a copy would
// otherwise program the part that arrived and verify it against itself. A
// data record after the termination record (two files joined) refuses the
// load: which of the two was meant cannot be told.
#include "image/srecord_loader.h"

#include "image/image_file_loader.h"
#include "image/load_tally.h"
#include "image/loader_texts.h"
#include "image/srecord.h"
#include "image/text_file_lines.h"

namespace kv9 {
namespace {

bool IsDataRecord(SRecord::Kind kind) {
  return kind == SRecord::Kind::Data || kind == SRecord::Kind::OtherData;
}

// One sound record before the termination record.
void TakeRecord(ImageBuffer& image, const SRecord& record, LoadTally& tally, ImageLoadResult& result) {
  switch (record.kind) {
    case SRecord::Kind::Data:
    case SRecord::Kind::OtherData:
      ++tally.dataRecords;
      tally.countedToTheEnd = false;
      PlaceRecord(image, record.address, record.data, tally, result);
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
      tally.terminated = true;
      break;
    case SRecord::Kind::Ignored:
      break;
  }
}

}  // namespace

ImageLoadResult LoadSRecordImage(ImageBuffer& image, const std::string& fileName) {
  const std::vector<std::string> lines = ReadTextLines(fileName);  // throws before anything changes
  ImageLoadResult result = ParseSRecordImage(image, lines);
  if (result.ok) image.loaded = 1;
  return result;
}

ImageLoadResult ParseSRecordImage(ImageBuffer& image, const std::vector<std::string>& lines) {
  BeginLoad(image);
  ImageLoadResult result;
  LoadTally tally;
  for (std::size_t i = 0; i < lines.size() && !tally.stopped; ++i) {
    const SRecord record = ParseSRecordLine(RecordText(lines[i], i == 0));
    if (record.kind == SRecord::Kind::Ignored) continue;
    if (tally.terminated) {
      // After the end only data matters; other records and text are passed over.
      if (IsDataRecord(record.kind)) StopLoad(image, tally, result, DataAfterEndMessage(i + 1));
      continue;
    }
    if (!record.Valid()) {
      // A bad checksum, a count too small to hold address and checksum, or
      // a line cut short: the load fails, but the rest of the file is still
      // read.
      tally.BadRecord(i + 1, record.truncated);
      continue;
    }
    TakeRecord(image, record, tally, result);
  }

  FinishLoad(image, tally, 0xFF, result);
  return result;
}

}  // namespace kv9
