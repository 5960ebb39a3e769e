#pragma once
// Pure decoders of the boot program's inquiry replies into the detail lines
// the command menu prints, and the two number formats they use. Every
// decoder takes the whole data reply (code, size, data, sum) and the number
// of bytes received, and never reads past either the size byte's data or the
// received bytes: what is missing is not printed.
#include <cstdint>
#include <string>
#include <vector>

namespace kv9 {

using DetailLines = std::vector<std::string>;

// "#,##0.00": thousands grouped with commas, at least one integer digit.
std::string FormatGrouped2(double value);
// "###.00": no integer digit below 1 (0.5 gives ".50").
std::string FormatBare2(double value);

DetailLines ClockModeLines(const std::uint8_t* reply, int length);
DetailLines SupportDeviceLines(const std::uint8_t* reply, int length);
DetailLines TeibaiInfoLines(const std::uint8_t* reply, int length);
DetailLines GetClockInfoLines(const std::uint8_t* reply, int length);
// Area count, then first and last address per area (boot, user and
// erase-block inquiries).
DetailLines AreaListLines(const std::uint8_t* reply, int length);
DetailLines WriteSizeLines(const std::uint8_t* reply, int length);
DetailLines DataAreaChkLines(const std::uint8_t* reply, int length);
DetailLines DataAreaInfoLines(const std::uint8_t* reply, int length);
DetailLines BootProgInfoLines(const std::uint8_t* reply, int length);
DetailLines SumCheckLines(const std::uint8_t* reply, int length);
DetailLines LockStatusLines(std::uint8_t status);

}  // namespace kv9
