// The Intel HEX loader on whole files. Invariant: a load succeeds exactly
// when every data and segment record is valid and no data record lies
// outside the image area, and the image then holds exactly the bytes of
// the valid data records at their addresses (segment base applied; a later
// record over an earlier one wins) over what the buffer held (erased here);
// a failed load leaves it all 0x00. The model is built from the record
// parser and the placement rule, so what is tested is the loader's walk.
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/loader_fuzz_support.h"
#include "image/intel_hex_record.h"
#include "image/record_placement.h"
#include "image/text_file_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 65536) return 0;
  const std::vector<std::string> lines =
      kv9::SplitTextLines(std::string_view(reinterpret_cast<const char*>(data), size));
  kv9::TFlashWrRXCont& c = kv9::fuzz::FreshController();

  kv9::fuzz::ImageModel model(c, 0xFF);
  std::uint32_t segmentBase = 0;
  for (const std::string& line : lines) {
    const kv9::IntelHexRecord r = kv9::ParseIntelHexLine(line);
    if (r.kind == kv9::IntelHexRecord::Kind::Segment) {
      if (r.checksumOk) {
        segmentBase = r.segment * 16;
      } else {
        model.ok = false;
      }
    } else if (r.kind == kv9::IntelHexRecord::Kind::Data) {
      if (!r.checksumOk) {
        model.ok = false;
        continue;
      }
      if (!model.Place(r.address + segmentBase, r.data)) break;
    }
  }

  const int loaded = c.ParseIntelHex(lines);
  model.Check(c, loaded, 0x00);
  return 0;
}
