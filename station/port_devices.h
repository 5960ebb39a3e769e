#pragma once
// Which device a port name stands for, so that a station never gives one
// device to two slots: two links to one adapter, or a /dev/serial/by-id name
// and /dev/ttyUSB0, are one port. One file per system (port_devices_posix.cpp,
// port_devices_win32.cpp).
#include <string>
#include <utility>
#include <vector>

namespace kv9::station {

// What identifies the device behind `port` now (on POSIX the character
// device's number, links followed), "" when the port has no device.
std::string PortDeviceKey(const std::string& port);

// The pairs of `ports` that name one device now (the earlier name first).
// Ports without a device are in no pair.
std::vector<std::pair<std::string, std::string>> PortsOfOneDevice(const std::vector<std::string>& ports);

}  // namespace kv9::station
