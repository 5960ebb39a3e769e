#include <cerrno>

#include "platform/os_error_kind.h"

namespace kv9 {

OsErrorKind OsErrorKindOf(int osError) {
  switch (osError) {
    case EBUSY:
    case EWOULDBLOCK:
      return OsErrorKind::InUse;
    case EACCES:
    case EPERM:
      return OsErrorKind::NoPermission;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return OsErrorKind::NoDevice;
    default:
      return OsErrorKind::Other;
  }
}

std::string NoPermissionText() {
  return "アクセス権がありません（ユーザーを dialout グループに加え、ログインし直してください）";
}

}  // namespace kv9
