#include "link/port_open_reason.h"

#include "platform/os_error_kind.h"

namespace kv9 {

PortOpenFailure ClassifyPortOpenError(int osError) {
  // The system's own error numbers: errno here, GetLastError on Windows.
  switch (OsErrorKindOf(osError)) {
    case OsErrorKind::InUse: return PortOpenFailure::InUse;
    case OsErrorKind::NoPermission: return PortOpenFailure::NoPermission;
    case OsErrorKind::NoDevice: return PortOpenFailure::NoDevice;
    case OsErrorKind::Other: break;
  }
  return PortOpenFailure::Other;
}

std::string PortOpenReason(const std::string& portName, int osError, const std::string& holder,
                           const std::string& systemText) {
  switch (ClassifyPortOpenError(osError)) {
    case PortOpenFailure::InUse:
      return portName + ": 他のプログラムが使用中です" + (holder.empty() ? "" : "（" + holder + "）");
    case PortOpenFailure::NoPermission:
      return portName + ": " + NoPermissionText();
    case PortOpenFailure::NoDevice:
      return portName + ": デバイスがありません";
    case PortOpenFailure::Other:
      break;
  }
  return portName + ": オープン出来ません（" + systemText + "）";
}

}  // namespace kv9
