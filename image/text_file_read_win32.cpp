// Reading an image file on Windows. The reasons in the message are the
// system's own texts (FormatMessage), as the POSIX reader gives strerror's.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "image/text_file_lines.h"
#include "platform/system_text_win32.h"

namespace kv9 {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw EImageFileError("ファイルを読み込めません: " + path + " (" + reason + ")");
}

[[noreturn]] void FailWithLastError(const std::string& path) {
  Fail(path, SystemErrorText(::GetLastError(), true));
}

// Paths arrive as UTF-8 where the front end could give them so, otherwise
// in the system's code page (a command line read through the C runtime).
std::wstring WidePath(const std::string& path) {
  for (UINT page : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
    const DWORD flags = page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int size =
        ::MultiByteToWideChar(page, flags, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (size <= 0 && !path.empty()) continue;
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(page, flags, path.data(), static_cast<int>(path.size()), out.data(),
                          size);
    return out;
  }
  return {};
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

std::vector<std::string> ReadTextLines(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) FailWithLastError(path);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) Fail(path, std::strerror(EISDIR));
  FileHandle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) FailWithLastError(path);
  // A pipe or a device is no image file, and reading one could block.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) Fail(path, "not a regular file");
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) FailWithLastError(path);
  if (static_cast<unsigned long long>(size.QuadPart) > kMaxImageFileSize)
    Fail(path, std::strerror(EFBIG));

  // Read to the end rather than trusting the size, but never past the
  // limit: the file may change while it is read.
  std::string text;
  text.reserve(static_cast<std::size_t>(size.QuadPart));
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) FailWithLastError(path);
    if (got == 0) break;
    if (text.size() + got > kMaxImageFileSize) Fail(path, std::strerror(EFBIG));
    text.append(chunk, got);
  }
  return SplitTextLines(text);
}

}  // namespace kv9
