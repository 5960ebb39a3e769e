#include "cli/console.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>

#include "cli/host_os.h"
#include "record/run_record.h"

namespace kv9::cli {
namespace {

// Length of the valid UTF-8 sequence starting at text[i] (code points from
// U+00A0 on, no surrogates, no over-long forms), 0 when it is not one.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (b >= 0xC2 && b <= 0xDF)
    n = 2, cp = b & 0x1Fu;
  else if (b >= 0xE0 && b <= 0xEF)
    n = 3, cp = b & 0x0Fu;
  else if (b >= 0xF0 && b <= 0xF4)
    n = 4, cp = b & 0x07u;
  else
    return 0;
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3Fu);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  if (overlong || cp < 0xA0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
  return n;
}


}  // namespace

std::string EscapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    if (const std::size_t n = Utf8Length(text, i)) {
      out.append(text, i, n);
      i += n;
      continue;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    out += hex;
    ++i;
  }
  return out;
}

Console::Console(std::FILE* out, std::FILE* err, bool progress)
    : out_(out), err_(err), progress_(progress) {}

void Console::LogLine(const std::string& text) {
  const std::string line = EscapeText(text);
  Erase();
  errno = 0;
  if ((std::fprintf(out_, "%s\n", line.c_str()) < 0 || std::fflush(out_) != 0) && outError_ == 0) {
    outError_ = errno ? errno : EIO;
  }
  Record("", line);
  if (!current_.empty()) Progress(current_);
}

void Console::Message(const std::string& text) {
  Erase();
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
  Record("! ", text);
  if (!current_.empty()) Progress(current_);
}

void Console::Progress(const std::string& text) {
  current_ = text;
  if (!progress_) return;
  std::fprintf(err_, "\r\033[K%s", text.c_str());
  std::fflush(err_);
  shown_ = true;
}

void Console::EndProgress() {
  current_.clear();
  Erase();
}

void Console::Erase() {
  if (!shown_) return;
  std::fprintf(err_, "\r\033[K");
  std::fflush(err_);
  shown_ = false;
}

void Console::RecordOnly(const std::string& text) { Record("# ", text); }

void Console::Record(const char* mark, const std::string& text) {
  if (!record_) return;
  if (!record::WriteRecordLines(record_, mark, text) && recordError_ == 0) recordError_ = errno ? errno : EIO;
}

}  // namespace kv9::cli
