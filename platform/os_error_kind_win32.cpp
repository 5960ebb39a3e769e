#include <windows.h>

#include "platform/os_error_kind.h"

namespace kv9 {

OsErrorKind OsErrorKindOf(int osError) {
  switch (osError) {
    // A serial driver refuses a second opener with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return OsErrorKind::InUse;
    case ERROR_PRIVILEGE_NOT_HELD:
      return OsErrorKind::NoPermission;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
      return OsErrorKind::NoDevice;
    default:
      return OsErrorKind::Other;
  }
}

std::string NoPermissionText() { return "アクセス権がありません（管理者に確認してください）"; }

}  // namespace kv9
