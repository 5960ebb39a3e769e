#pragma once
// The system's own text for a Windows error number (FormatMessage), in
// UTF-8 and without the line break it ends with. Windows only.
#include <string>

namespace kv9 {

// Empty when the system has no text for `code`, or "error <code>" then when
// `numberWhenNone` is set.
std::string SystemErrorText(unsigned long code, bool numberWhenNone = false);

}  // namespace kv9
