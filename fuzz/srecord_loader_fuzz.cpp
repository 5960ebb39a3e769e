// The S-record loader on whole files. Invariant: a load that succeeds had
// only sound records up to its termination record, none outside the image
// area, no byte placed twice and no data record after the termination
// record, and the image then holds exactly the bytes of the file's S2/S3
// records at their addresses with every other byte erased (0xFF); a failed
// load leaves it all 0xFF.
// The model is built from the record parser and the placement rule, so what
// is tested is the loader's own walk over the file.
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/loader_fuzz_support.h"
#include "image/record_placement.h"
#include "image/srecord.h"
#include "image/text_file_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 65536) return 0;
  const std::vector<std::string> lines =
      kv9::SplitTextLines(std::string_view(reinterpret_cast<const char*>(data), size));
  kv9::TFlashWrRXCont& c = kv9::fuzz::FreshController();

  kv9::fuzz::ImageModel model(c, 0xFF);
  bool terminated = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const kv9::SRecord r = kv9::ParseSRecordLine(kv9::RecordText(lines[i], i == 0));
    const bool data = r.kind == kv9::SRecord::Kind::Data || r.kind == kv9::SRecord::Kind::OtherData;
    if (terminated && data) {
      model.ok = false;  // a second file joined to the first
      break;
    }
    if (terminated || r.kind == kv9::SRecord::Kind::Ignored) continue;
    if (!r.Valid()) {
      model.ok = false;
      continue;
    }
    if (r.kind == kv9::SRecord::Kind::Termination) terminated = true;
    if (data && !model.Place(r.address, r.data)) break;
  }

  const int loaded = c.ParseSRecords(lines);
  model.Check(c, loaded, 0xFF);
  return 0;
}
