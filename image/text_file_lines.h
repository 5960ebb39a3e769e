#pragma once
// Reading an image file as text lines. The whole file is read before any
// line is interpreted, so a file that cannot be read leaves the image
// buffer untouched. Core code; no toolkit.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kv9 {

// Image files are a few megabytes at most (S-records for a 2 MB area are
// about 4.5 MB). Anything larger is not an image file, and refusing it keeps
// a mistaken drop (a disk image, a video) from exhausting memory.
constexpr std::size_t kMaxImageFileSize = 64u * 1024 * 1024;

// A file that could not be read: missing, not permitted, a directory or
// other non-regular file, too large, or a read error. what() is the text for
// the person: "ファイルを読み込めません: <path> (<reason>)".
class EImageFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits text into lines at CR, LF or CR LF. A terminator at the very end
// does not start another (empty) line.
std::vector<std::string> SplitTextLines(std::string_view text);

// The record text of one line: blanks and tabs around it removed, and on
// the first line of a file a UTF-8 byte-order mark, which some editors put
// in front of the first record.
std::string_view RecordText(std::string_view line, bool firstLine);

// Reads a regular file of at most kMaxImageFileSize bytes and splits it into
// lines; throws EImageFileError otherwise.
std::vector<std::string> ReadTextLines(const std::string& path);

}  // namespace kv9
