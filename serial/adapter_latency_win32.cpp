#include "serial/adapter_latency_win32.h"

#include <windows.h>

#include <cwctype>

namespace kv9 {
namespace {

// Closes a registry key at the end of its scope.
struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) ::RegCloseKey(h);
  }
};

bool SameName(const std::wstring& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towupper(a[i]) != std::towupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The port name and the latency timer of one FTDI device's parameters.
std::optional<int> TimerOfDevice(HKEY devices, const wchar_t* device, const std::string& portName) {
  Key params;
  const std::wstring sub = std::wstring(device) + L"\\0000\\Device Parameters";
  if (::RegOpenKeyExW(devices, sub.c_str(), 0, KEY_READ, &params.h) != ERROR_SUCCESS) return std::nullopt;
  wchar_t name[64] = {};
  DWORD size = sizeof name - sizeof(wchar_t);  // bytes; room left for the terminating zero
  DWORD type = 0;
  if (::RegQueryValueExW(params.h, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ || !SameName(name, portName)) {
    return std::nullopt;
  }
  DWORD timer = 0;
  size = sizeof timer;
  if (::RegQueryValueExW(params.h, L"LatencyTimer", nullptr, &type, reinterpret_cast<BYTE*>(&timer), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return static_cast<int>(timer);
}

}  // namespace

std::optional<int> FtdiLatencyTimer(const std::string& portName, const wchar_t* enumKey) {
  Key devices;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, enumKey, 0, KEY_READ, &devices.h) != ERROR_SUCCESS) return std::nullopt;
  for (DWORD index = 0;; ++index) {
    wchar_t device[256];
    DWORD length = 256;
    if (::RegEnumKeyExW(devices.h, index, device, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    if (auto timer = TimerOfDevice(devices.h, device, portName)) return timer;
  }
  return std::nullopt;
}

}  // namespace kv9
