#pragma once
// What an error number of the system the program runs on means for opening
// a port, and the advice for a port this user may not open: errno values
// and the Linux group on POSIX (os_error_kind_posix.cpp), GetLastError codes
// on Windows (os_error_kind_win32.cpp). The Windows program never shows a
// Linux text.
#include <string>

namespace kv9 {

enum class OsErrorKind { InUse, NoPermission, NoDevice, Other };

OsErrorKind OsErrorKindOf(int osError);

// The words after "COM3: " for a port closed to this user.
std::string NoPermissionText();

}  // namespace kv9
