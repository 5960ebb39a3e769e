#pragma once
// Why a port could not be opened, in the tool's words. A port held by
// another program or closed to this user will not answer however often it
// is tried, and "module not found" would send the technician looking at the
// cable instead of at the program or the group membership. Pure.
#include <string>

namespace kv9 {

enum class PortOpenFailure { InUse, NoPermission, NoDevice, Other };

// The kind of failure for an open error of the serial port component
// (`osError` is the system's error number, -1 when none).
PortOpenFailure ClassifyPortOpenError(int osError);

// One line for the person: "COM3: 他のプログラムが使用中です（minicom, PID 1234）",
// "COM3: アクセス権がありません（...dialout...）", ... `holder` names the
// program holding the port when the system told it ("" otherwise);
// `systemText` is the component's own text, shown for other failures.
std::string PortOpenReason(const std::string& portName, int osError, const std::string& holder,
                           const std::string& systemText);

}  // namespace kv9
