#pragma once
// What an image holds, told without touching a port: the area it describes,
// where its data lies, what the update will program, the CRC the module's
// loader must report for it and the version text at 0xFFFFBFF0.
#include <cstdint>
#include <string>

#include "link/flash_wr_rx_cont.h"

namespace kv9::cli {


// The info report, one item per line. `source` names the image, which must
// belong to the area (ImageAreaProblem empty): a loaded file holds no byte
// outside it, so every address told lies in RomStart..0xFFFFFFFF.
std::string ImageInfoText(TFlashWrRXCont& cont, const std::string& source);

}  // namespace kv9::cli
