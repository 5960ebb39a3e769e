#include "image/text_file_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kv9 {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw EImageFileError("ファイルを読み込めません: " + path + " (" + reason + ")");
}

// Closes the descriptor on every way out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string_view RecordText(std::string_view line, bool firstLine) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (firstLine && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) line.remove_prefix(kByteOrderMark.size());
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = line.find_last_not_of(" \t");
  return line.substr(first, last - first + 1);
}

std::vector<std::string> ReadTextLines(const std::string& path) {
  // O_NONBLOCK: a FIFO must not hold the user-interface thread in open();
  // it is refused below as not a regular file.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) Fail(path, std::strerror(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) Fail(path, std::strerror(errno));
  if (S_ISDIR(st.st_mode)) Fail(path, std::strerror(EISDIR));
  if (!S_ISREG(st.st_mode)) Fail(path, "not a regular file");
  if (static_cast<unsigned long long>(st.st_size) > kMaxImageFileSize) Fail(path, std::strerror(EFBIG));

  // Read to the end rather than trusting st_size, but never past the limit:
  // the file may change while it is read.
  std::string text;
  text.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(path, std::strerror(errno));
    }
    if (got == 0) break;
    if (text.size() + static_cast<std::size_t>(got) > kMaxImageFileSize) Fail(path, std::strerror(EFBIG));
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return SplitTextLines(text);
}

}  // namespace kv9
