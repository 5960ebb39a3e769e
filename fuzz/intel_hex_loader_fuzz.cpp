// The Intel HEX loader on whole files. Invariant: a load that succeeds had
// only sound records up to its end-of-file record, no data outside the
// image area, no byte placed twice and no data record after the end, and
// the image then holds exactly the bytes of the data records at their
// addresses (the base of the last type 02 or 04 record applied) with every
// other byte erased (0xFF); a failed load leaves it all 0x00. The model is built from the record parser and the placement
// rule, so what is tested is the loader's own walk over the file.
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
  std::uint32_t base = 0;
  bool terminated = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view text = kv9::RecordText(lines[i], i == 0);
    if (text.empty()) continue;
    const kv9::IntelHexRecord r = kv9::ParseIntelHexLine(text);
    if (terminated && r.kind == kv9::IntelHexRecord::Kind::Data) {
      model.ok = false;  // a second file joined to the first
      break;
    }
    if (terminated || r.kind == kv9::IntelHexRecord::Kind::Ignored) continue;
    if (r.kind == kv9::IntelHexRecord::Kind::EndOfFile && r.Valid()) terminated = true;
    if (!r.Valid()) {
      model.ok = false;
      continue;
    }
    if (r.kind == kv9::IntelHexRecord::Kind::Segment) base = r.segment * 16;
    if (r.kind == kv9::IntelHexRecord::Kind::LinearAddress) base = r.segment << 16;
    if (r.kind == kv9::IntelHexRecord::Kind::Data && !model.Place(base + r.address, r.data)) break;
  }

  const int loaded = c.ParseIntelHex(lines);
  model.Check(c, loaded, 0x00);
  return 0;
}
