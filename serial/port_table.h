#pragma once
// The port table: which device each "COM<n>" name stands for. One file per
// operating system fills it (port_table_posix.cpp, port_table_win32.cpp).
//
// On Windows it is the registry's list of serial ports
// (HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM); the device is
// "\\.\COM<n>" and the description the driver's device name. The rest of
// this comment and PortTableSources describe Linux.
//
// Automatic entries, only for devices that exist:
//   /dev/ttyS<k>   -> COM<k+1>   (only UARTs the kernel found hardware for)
//   /dev/ttyUSB<k> -> COM<k+33>
//   /dev/ttyACM<k> -> COM<k+65>
// Explicit entries: every file named COM<n> (letter case ignored) in the
// folder named by the environment variable KV9_PORT_DIR, normally a symlink
// to a device node; it replaces an automatic entry of the same number. The
// simulated module publishes its pty there. With KV9_PORT_DIR_ONLY=1 the
// automatic entries are left out.
//
// An explicit entry whose target is gone (the adapter unplugged) is a port
// that is not there: its number is left out of the table altogether, never
// handed to the automatic device of the same number. A bench that pins its
// slots to USB sockets (COM<n> -> /dev/serial/by-path/...) thereby never
// writes to a module on another socket.
#include <string>
#include <vector>

#include "serial/port_name.h"

namespace kv9 {

struct PortEntry {
  std::string name;         // "COM3"
  std::string device;       // "/dev/ttyUSB0" or the explicit entry's path
  std::string description;  // the USB adapter's product name where known, else ""
  // The names udev keeps for the device whatever order adapters were
  // plugged in (/dev/serial/by-path/..., /dev/serial/by-id/...), sorted.
  std::vector<std::string> stableNames;
  // The USB adapter's latency timer in ms where the driver tells (an FTDI
  // adapter: 16 unless set lower), -1 otherwise. Read while nobody holds
  // the port: the tool's low-latency request is not in it.
  int latencyTimerMs = -1;
};

// Where the table is read from; tests point these at folders of their own.
struct PortTableSources {
  std::string devDir = "/dev";
  std::string sysClassTty = "/sys/class/tty";
  std::string portDir;  // KV9_PORT_DIR; empty for none
  std::string usbSerialDevices = "/sys/bus/usb-serial/devices";  // <tty>/latency_timer (Linux)
  // The machine's folders and KV9_PORT_DIR, unless a test replaced them.
  static PortTableSources FromEnvironment();
};

// Tests that must not see the machine's own serial ports point the automatic
// entries elsewhere (KV9_PORT_DIR is still read from the environment);
// nullptr restores the machine's folders. Not for production code.
void SetPortTableSourcesForTest(const PortTableSources* sources);

// The table, sorted by name as text ignoring letter case (COM1, COM10, COM2).
std::vector<PortEntry> ReadPortTable(const PortTableSources& sources);
std::vector<PortEntry> ReadPortTable();
// The table's order: names as text ignoring letter case.
bool PortNameBefore(const std::string& a, const std::string& b);
void SortPortTable(std::vector<PortEntry>& table);

// The device path of a port name, or "" when the table has no such port.
std::string PortDevicePath(const std::string& name);

// Replaces the list with the machine's port names, sorted as above. When the
// machine has no ports at all the list is left unchanged.
void EnumComPorts(std::vector<std::string>& list);

}  // namespace kv9
