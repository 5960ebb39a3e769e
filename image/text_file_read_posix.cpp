// Reading an image file on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "image/text_file_lines.h"
#include "wire/unique_fd.h"

namespace kv9 {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw EImageFileError("ファイルを読み込めません: " + path + " (" + reason + ")");
}

}  // namespace

std::vector<std::string> ReadTextLines(const std::string& path) {
  // O_NONBLOCK: a FIFO must not hold the user-interface thread in open();
  // it is refused below as not a regular file.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.Get() < 0) Fail(path, std::strerror(errno));
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) Fail(path, std::strerror(errno));
  if (S_ISDIR(st.st_mode)) Fail(path, std::strerror(EISDIR));
  if (!S_ISREG(st.st_mode)) Fail(path, "not a regular file");
  if (static_cast<unsigned long long>(st.st_size) > kMaxImageFileSize) Fail(path, std::strerror(EFBIG));

  // Read to the end rather than trusting st_size, but never past the limit:
  // the file may change while it is read.
  std::string text;
  text.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
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
