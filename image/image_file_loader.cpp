// Loading a firmware image from a file: the choice of loader by extension,
// the placement of records shared by both formats, and the loaders' texts.
#include <algorithm>
#include <string>

#include "image/hex_fields.h"
#include "image/load_tally.h"
#include "image/loader_texts.h"
#include "image/record_placement.h"
#include "image/text_file_lines.h"
#include "link/flash_wr_rx_cont.h"

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

}  // namespace

int TFlashWrRXCont::LoadImageFile(const std::string& fileName) {
  const std::string ext = UpperExtension(fileName);
  ImageLoadProblem.clear();
  int result = 0;
  try {
    if (ext == ".HEX") {
      result = LoadIntelHexFile(fileName);
    } else if (ext == ".MOT") {
      result = LoadSRecordFile(fileName);
    } else {
      ImageLoadProblem = kUnknownExtensionText;
      return 0;
    }
  } catch (const EImageFileError& e) {
    // Nothing was parsed, so buffer, ImageLoaded and the log are as before.
    ImageLoadProblem = e.what();
    if (Owner()) Owner()->ShowMessage(e.what());
    return 0;
  }
  LogImageCrc();
  return result;
}

std::int32_t TFlashWrRXCont::HexToInt(const std::string& text) const {
  return static_cast<std::int32_t>(HexValue(text));
}

RecordPlace TFlashWrRXCont::PlaceImageRecord(std::uint32_t address, const std::vector<std::uint8_t>& data,
                                             LoadTally& tally) {
  const RecordPlace place = ClassifyRecordAddress(address, RomStart, RomEnd);
  if (place == RecordPlace::InArea) {
    WriteRecordAt(ImageStream, address - RomStart, data.data(), data.size());
    tally.byteCount += static_cast<std::uint32_t>(data.size());
    tally.unprogrammed += UnprogrammedBytes(address, data.size());
  } else if (place == RecordPlace::OutOfRange) {
    tally.ok = false;
    tally.stopped = true;
    ImageLoadProblem = kOutOfRangeMessage;
    ShowRangeMessage();
  }
  return place;
}

void TFlashWrRXCont::LogLoadSummary(std::uint32_t byteCount) { AddLog(LoadSummaryLine(byteCount), 0); }

int TFlashWrRXCont::FinishImageLoad(const LoadTally& tally, std::uint8_t failFill) {
  bool ok = tally.ok;
  if (ok) {
    // Every record was sound, but the file as a whole may still not be an
    // image: programming it would erase the module and leave it without
    // firmware while the checks compare the module with the same gap.
    const char* problem = nullptr;
    std::string text;
    if (tally.byteCount == 0) {
      problem = kNoDataMessage;
    } else if (!tally.terminated && !tally.countedToTheEnd) {
      problem = kIncompleteFileMessage;
    } else if (tally.countMismatch) {
      text = RecordCountMessage(tally.countAnnounced, tally.countFound);
      problem = text.c_str();
    }
    if (problem) {
      ok = false;
      ImageLoadProblem = problem;
      if (Owner()) Owner()->ShowMessage(problem);
    }
  } else if (ImageLoadProblem.empty()) {
    // A cut line gets a box; a checksum error keeps the tool's silence in the
    // window and leaves its text for the terminal.
    if (tally.firstTruncatedLine != 0) {
      ImageLoadProblem = TruncatedRecordMessage(tally.firstTruncatedLine);
      if (Owner()) Owner()->ShowMessage(ImageLoadProblem);
    } else {
      ImageLoadProblem = ChecksumErrorText(tally.firstChecksumLine);
    }
  }
  if (!ok) {
    std::fill(ImageStream.Memory(), ImageStream.Memory() + ImageStream.Size(), failFill);
    ImageStream.Rewind();
    ImageLoaded = 0;
    return 0;
  }
  ImageBase = RomStart;
  LogLoadSummary(tally.byteCount);
  if (tally.unprogrammed != 0) AddLog(UnprogrammedDataLine(tally.unprogrammed), 1);
  return 1;
}

void TFlashWrRXCont::LogImageCrc() { AddLog(ImageCrcLine(ImageCrc()), 0); }

void TFlashWrRXCont::ShowRangeMessage() {
  if (Owner()) Owner()->ShowMessage(kOutOfRangeMessage);
}

}  // namespace kv9
