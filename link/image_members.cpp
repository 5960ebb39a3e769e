// The controller's image members: each hands its work to the image library
// (image/) and then shows, in order, the log lines and boxes the library's
// result lists. The library itself never logs or shows anything.
#include "boot/cpu_profile.h"
#include "image/hex_fields.h"
#include "image/image_area.h"
#include "image/image_file_loader.h"
#include "image/intel_hex_loader.h"
#include "image/srecord_loader.h"
#include "link/flash_wr_rx_cont.h"

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

int TFlashWrRXCont::LoadImageFile(const std::string& fileName) {
  return Show(*this, LoadImageByExtension(Image, fileName));
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

}  // namespace kv9
