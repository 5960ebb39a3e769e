#pragma once
// The POSIX backend's opening with its driver-facing pieces given, so tests
// can put a driver of their own behind a real pty: ComDevice::Open is this
// with the kernel's serial flags and the machine's sysfs.
#include <memory>
#include <string>

#include "serial/com_backend.h"
#include "serial/low_latency_posix.h"

namespace kv9::posix {

std::unique_ptr<ComDevice> OpenComDevice(const std::string& portName, SerialFlagsIo& flagsIo,
                                         const AdapterSysfs& sysfs);

}  // namespace kv9::posix
