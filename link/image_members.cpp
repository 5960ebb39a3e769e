// The controller's image members: each hands its work to the image library
// (image/) and then shows, in order, the log lines and boxes the library's
// result lists. The library itself never logs or shows anything.
#include "boot/cpu_profile.h"
#include "image/hex_fields.h"
#include "image/image_area.h"
#include "image/image_file_loader.h"
#include "image/intel_hex_loader.h"
#include "image/loader_texts.h"
#include "image/srecord_loader.h"
#include "link/flash_wr_rx_cont.h"
#include "wire/crc16.h"

namespace kv9 {
namespace {

int Show(TFlashWrRXCont& cont, const ImageLoadResult& result) {
  for (const ImageNotice& notice : result.notices) {
    switch (notice.kind) {
      case ImageNotice::Kind::DebugLine:
        cont.AddLog(notice.text, 0);
        break;
      case ImageNotice::Kind::ForcedLine:
        cont.AddLog(notice.text, 1);
        break;
      case ImageNotice::Kind::MessageBox:
        if (cont.Owner()) cont.Owner()->ShowMessage(notice.text);
        break;
    }
  }
  return result.ok ? 1 : 0;
}

}  // namespace

void TFlashWrRXCont::SetImageArea(std::int32_t cpuCode, std::int32_t romSizeIndex) {
  Settings.CpuCode = cpuCode;
  Settings.RomSizeIndex = romSizeIndex;
  DeviceCode = DeviceCodeFor(cpuCode);
  Image.SetArea(RomStartFor(romSizeIndex));
}

void TFlashWrRXCont::InitImageBuffer() { Image.Reset(); }

void TFlashWrRXCont::LoadEmbeddedImage() { Show(*this, LoadEmbedded(Image)); }

std::uint16_t TFlashWrRXCont::ImageCrc() { return Image.Crc(); }

std::uint16_t TFlashWrRXCont::Crc16(const std::uint8_t* bytes, std::size_t count) const {
  return kv9::Crc16(bytes, count);
}

int TFlashWrRXCont::LoadImageFile(const std::string& fileName) {
  return Show(*this, LoadImageByExtension(Image, fileName));
}

int TFlashWrRXCont::LoadIntelHexFile(const std::string& fileName) {
  return Show(*this, LoadIntelHexImage(Image, fileName));
}

int TFlashWrRXCont::LoadSRecordFile(const std::string& fileName) {
  return Show(*this, LoadSRecordImage(Image, fileName));
}

int TFlashWrRXCont::ParseIntelHex(const std::vector<std::string>& lines) {
  return Show(*this, ParseIntelHexImage(Image, lines));
}

int TFlashWrRXCont::ParseSRecords(const std::vector<std::string>& lines) {
  return Show(*this, ParseSRecordImage(Image, lines));
}

std::int32_t TFlashWrRXCont::HexToInt(const std::string& text) const {
  return static_cast<std::int32_t>(HexValue(text));
}

RecordPlace TFlashWrRXCont::PlaceImageRecord(std::uint32_t address,
                                             const std::vector<std::uint8_t>& data,
                                             LoadTally& tally) {
  ImageLoadResult shown;
  const RecordPlace place = PlaceRecord(Image, address, data, tally, shown);
  Show(*this, shown);
  return place;
}

void TFlashWrRXCont::LogLoadSummary(std::uint32_t byteCount) {
  AddLog(LoadSummaryLine(byteCount), 0);
}

int TFlashWrRXCont::FinishImageLoad(const LoadTally& tally, std::uint8_t failFill) {
  ImageLoadResult result;
  FinishLoad(Image, tally, failFill, result);
  return Show(*this, result);
}

void TFlashWrRXCont::LogImageCrc() { AddLog(ImageCrcLine(ImageCrc()), 0); }

void TFlashWrRXCont::ShowRangeMessage() {
  if (Owner()) Owner()->ShowMessage(kOutOfRangeMessage);
}

}  // namespace kv9
