#pragma once
// Opening a firmware image file, by drop or from the menu: which files are
// taken, what another type gets, and the line that says what was loaded.
#include <cstdint>
#include <string>

#include "link/flash_wr_rx_cont.h"

namespace kv9::window {

// The open dialog's filters (Qt's form, ";;" between filters; the Win32
// window splits it). Both cases, for systems whose names are case-sensitive;
// "すべてのファイル" lets another type be chosen and told why it is refused.
inline constexpr char kImageFileFilter[] = "ROMデータ (*.mot *.hex *.MOT *.HEX);;すべてのファイル (*)";

// The message box text for a file that is not .hex or .mot (any case);
// "" when it is one. Pure.
std::string ImageFileProblem(const std::string& path);

// "ROMデータ : <path>  書込 <n>バイト  CRC 0x1A2B  バージョン <text>"
// (the version "なし" when there is none). Pure.
std::string LoadedImageLine(const std::string& path, std::uint32_t bytes, std::uint16_t crc,
                            const std::string& version);

// The line for the image now in the controller's buffer, loaded from `path`.
std::string LoadedImageLine(TFlashWrRXCont& cont, const std::string& path);

}  // namespace kv9::window
