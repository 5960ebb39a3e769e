#pragma once
// The FTDI driver's latency timer of a port on Windows. The driver keeps it
// per device in the registry
// (HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS\<device>\0000\Device Parameters,
// value LatencyTimer, the port named by PortName); the serial API cannot
// change it, only the port's advanced settings in the device manager can.
#include <optional>
#include <string>

namespace kv9 {

// The timer in ms of the FTDI adapter whose port is `portName` ("COM3",
// letter case ignored); none when no FTDI device has that port. `enumKey`
// is the key under HKEY_LOCAL_MACHINE that lists the FTDI devices.
std::optional<int> FtdiLatencyTimer(const std::string& portName,
                                    const wchar_t* enumKey = L"SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS");

}  // namespace kv9
