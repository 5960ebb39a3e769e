// The EEPROM backup file's parser meets whatever a technician picks in a
// file dialog: it never crashes, and what it accepts as checked is exactly
// what writing the same content gives back, so an accepted file holds no
// byte the check did not cover.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "link/eeprom_backup_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  kv9::EepromBackupContent content;
  const std::string problem = kv9::ParseEepromBackupText(text, content);
  if (!problem.empty() || !content.checked) return 0;
  // Written again from what was read, the file reads back as the same.
  const std::string again =
      kv9::EepromBackupText({"COM1", content.model, content.romVersion}, 0, content.factory, content.allData);
  kv9::EepromBackupContent reread;
  KV9_FUZZ_REQUIRE(kv9::ParseEepromBackupText(again, reread).empty());
  KV9_FUZZ_REQUIRE(reread.checked);
  KV9_FUZZ_REQUIRE(reread.factory == content.factory && reread.allData == content.allData);
  KV9_FUZZ_REQUIRE(reread.model == content.model && reread.romVersion == content.romVersion);
  // One character changed in the body of an accepted file is refused or
  // reads as the very same content.
  if (text.size() > 2) {
    std::string edited = text;
    const std::size_t at = data[0] % (text.size() - 1);
    edited[at] = static_cast<char>(edited[at] ^ 0x01);
    kv9::EepromBackupContent changed;
    if (kv9::ParseEepromBackupText(edited, changed).empty() && changed.checked) {
      KV9_FUZZ_REQUIRE(changed.factory == content.factory && changed.allData == content.allData);
    }
  }
  return 0;
}
