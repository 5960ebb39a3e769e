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
// The erase-block inquiry's reply as the chips send it: a two-byte size,
// then either a block count and (first, last) per block (RX630/RX63T) or one
// byte and (first, block size, block count) per area (RX231), each area
// printed as an area with its block size and count. A reply with a one-byte
// size (see EraseBlockReplyLength) is an area list.
DetailLines EraseBlockLines(const std::uint8_t* reply, int length);
// The whole length of an erase-block reply from its first three bytes. Its
// size is two bytes unless the lengths say it is one: a first size byte
// other than 0 (a two-byte size that large fits no inquiry buffer), or the
// three bytes of an empty reply whose sum checks.
int EraseBlockReplyLength(const std::uint8_t* header);
DetailLines WriteSizeLines(const std::uint8_t* reply, int length);
DetailLines DataAreaChkLines(const std::uint8_t* reply, int length);
DetailLines DataAreaInfoLines(const std::uint8_t* reply, int length);
DetailLines BootProgInfoLines(const std::uint8_t* reply, int length);
DetailLines SumCheckLines(const std::uint8_t* reply, int length);
DetailLines LockStatusLines(std::uint8_t status);

}  // namespace kv9
