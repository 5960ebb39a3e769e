#include "link/port_open_reason.h"

#include <cerrno>

namespace kv9 {

PortOpenFailure ClassifyPortOpenError(int osError) {
  switch (osError) {
    case EBUSY:
    case EWOULDBLOCK:
      return PortOpenFailure::InUse;
    case EACCES:
    case EPERM:
      return PortOpenFailure::NoPermission;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return PortOpenFailure::NoDevice;
    default:
      return PortOpenFailure::Other;
  }
}

std::string PortOpenReason(const std::string& portName, int osError, const std::string& holder,
                           const std::string& systemText) {
  switch (ClassifyPortOpenError(osError)) {
    case PortOpenFailure::InUse:
      return portName + ": 他のプログラムが使用中です" + (holder.empty() ? "" : "（" + holder + "）");
    case PortOpenFailure::NoPermission:
      return portName +
             ": アクセス権がありません（ユーザーを dialout グループに加え、ログインし直してください）";
    case PortOpenFailure::NoDevice:
      return portName + ": デバイスがありません";
    case PortOpenFailure::Other:
      break;
  }
  return portName + ": オープン出来ません（" + systemText + "）";
}

}  // namespace kv9
