// Loading a firmware image from a file: the choice of loader by extension,
// the placement of records shared by both formats, and the judgement at the
// end of a load.
#include "image/image_file_loader.h"

#include <optional>
#include <string>

#include "image/intel_hex_loader.h"
#include "image/loader_texts.h"
#include "image/srecord_loader.h"
#include "image/text_file_lines.h"

namespace kv9 {
namespace {

// From the last '.' after the last path separator, ASCII letters upper-cased;
// empty when the name has no extension. Both separators count, so a name
// given the Windows way is judged the same.
std::string UpperExtension(const std::string& fileName) {
  const std::size_t separator = fileName.find_last_of("/\\");
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
  std::string ext = fileName.substr(dot);
  for (char& c : ext) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ext;
}

// The text a failed load leaves in the buffer and the result.
void Refuse(ImageBuffer& image, ImageLoadResult& result, const std::string& problem) {
  image.loadProblem = problem;
  result.ok = false;
  result.problem = problem;
}

// Why a file whose every record was sound is still no image; empty when it is one.
// Programming it would erase the module and leave it without firmware while
// the checks compare the module with the same gap.
std::string WholeFileProblem(const LoadTally& tally) {
  if (tally.byteCount == 0) return kNoDataMessage;
  if (!tally.terminated && !tally.countedToTheEnd) return kIncompleteFileMessage;
  if (tally.countMismatch) return RecordCountMessage(tally.countAnnounced, tally.countFound);
  return {};
}

// Why a load with a failed record failed. A refused record has said so
// already (its box is listed); a cut line gets a box; a checksum error keeps
// the tool's silence in the window and leaves its text for the terminal.
std::string FailedRecordProblem(const ImageBuffer& image, const LoadTally& tally,
                                ImageLoadResult& result) {
  if (!image.loadProblem.empty()) return image.loadProblem;
  if (tally.firstTruncatedLine == 0) return ChecksumErrorText(tally.firstChecksumLine);
  std::string problem = TruncatedRecordMessage(tally.firstTruncatedLine);
  result.Box(problem);
  return problem;
}

}  // namespace

ImageLoadResult LoadImageByExtension(ImageBuffer& image, const std::string& fileName) {
  const std::string ext = UpperExtension(fileName);
  image.loadProblem.clear();
  ImageLoadResult result;
  try {
    if (ext == ".HEX") {
      result = LoadIntelHexImage(image, fileName);
    } else if (ext == ".MOT") {
      result = LoadSRecordImage(image, fileName);
    } else {
      Refuse(image, result, kUnknownExtensionText);
      return result;
    }
  } catch (const EImageFileError& e) {
    // Nothing was parsed, so buffer, flag and log are as before.
    Refuse(image, result, e.what());
    result.Box(e.what());
    return result;
  }
  result.Debug(ImageCrcLine(image.Crc()));
  return result;
}

void BeginLoad(ImageBuffer& image) {
  image.bytes.SetSize(static_cast<std::size_t>(image.romEnd - image.romStart) + 1);
  image.Fill(0xFF);
  image.bytes.Rewind();
}

void StopLoad(ImageBuffer& image, LoadTally& tally, ImageLoadResult& result,
              const std::string& message) {
  tally.ok = false;
  tally.stopped = true;
  image.loadProblem = message;
  result.Box(message);
}

RecordPlace PlaceRecord(ImageBuffer& image, std::uint32_t address,
                        const std::vector<std::uint8_t>& data, LoadTally& tally,
                        ImageLoadResult& result) {
  if (ClassifyRecord(address, data.size(), image.romStart, image.romEnd) != RecordPlace::InArea) {
    StopLoad(image, tally, result, kOutOfRangeMessage);
    return RecordPlace::OutOfRange;
  }
  const std::size_t offset = address - image.romStart;
  if (const std::optional<std::size_t> twice = tally.placed.FirstPlaced(offset, data.size())) {
    StopLoad(image, tally, result, OverlapMessage(image.romStart + static_cast<std::uint32_t>(*twice)));
    return RecordPlace::Overlap;
  }
  tally.placed.Mark(offset, data.size());
  WriteRecordAt(image.bytes, offset, data.data(), data.size());
  tally.byteCount += static_cast<std::uint32_t>(data.size());
  tally.unprogrammed += UnprogrammedBytes(address, data.size());
  return RecordPlace::InArea;
}

void FinishLoad(ImageBuffer& image, const LoadTally& tally, std::uint8_t failFill,
                ImageLoadResult& result) {
  const std::string problem =
      tally.ok ? WholeFileProblem(tally) : FailedRecordProblem(image, tally, result);
  if (!tally.ok || !problem.empty()) {
    if (tally.ok) result.Box(problem);
    Refuse(image, result, problem);
    image.Fill(failFill);
    image.bytes.Rewind();
    image.loaded = 0;
    return;
  }
  image.base = image.romStart;
  result.ok = true;
  result.problem.clear();
  result.Debug(LoadSummaryLine(tally.byteCount));
  if (tally.unprogrammed != 0) result.Forced(UnprogrammedDataLine(tally.unprogrammed));
}

}  // namespace kv9
