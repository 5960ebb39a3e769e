#include "image/image_area.h"

namespace kv9 {

const char* const kRomSizeNames[kRomSizeCount] = {"4K",   "8K",   "12K",  "16K",  "24K",
                                                  "32K",  "48K",  "64K",  "96K",  "128K",
                                                  "192K", "256K", "320K", "384K", "512K",
                                                  "768K", "1M",   "1.5M", "2M"};

std::uint32_t RomStartFor(int romSizeIndex) {
  switch (romSizeIndex) {
    case 5: return 0xFFFF8000;   // 32K
    case 6: return 0xFFFF4000;   // 48K
    case 7: return 0xFFFF0000;   // 64K
    case 8: return 0xFFFE8000;   // 96K
    case 9: return 0xFFFE0000;   // 128K
    case 11: return 0xFFFC0000;  // 256K
    case 13: return 0xFFFA0000;  // 384K
    case 14: return 0xFFF80000;  // 512K
    case 15: return 0xFFF40000;  // 768K
    case 16: return 0xFFF00000;  // 1M
    case 17: return 0xFFE80000;  // 1.5M
    case 18: return 0xFFE00000;  // 2M
    default: return 0xFFFF0000;  // 64K
  }
}

}  // namespace kv9
