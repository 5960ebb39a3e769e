#include "platform/system_text_win32.h"

#include <windows.h>

#include <algorithm>

namespace kv9 {

std::string SystemErrorText(unsigned long code, bool numberWhenNone) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (n > 0 && text != nullptr) {
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(std::max(size, 0)));
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), out.data(), size, nullptr,
                          nullptr);
  }
  if (text != nullptr) ::LocalFree(text);
  while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == ' '))
    out.pop_back();
  if (out.empty() && numberWhenNone) out = "error " + std::to_string(code);
  return out;
}

}  // namespace kv9
