#pragma once
// Named byte blobs compiled into the program: the firmware image (type
// "HEXDATA", name "HexData1") and the two sounds (type "WAVE", names
// "Sound_ring5" and "Sound_alarm1").
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kv9 {

struct ResourceBlob {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// Raised when a resource is missing, as the toolkit's resource stream does.
class EResNotFound : public std::runtime_error {
 public:
  explicit EResNotFound(const std::string& name)
      : std::runtime_error("Resource " + name + " not found") {}
};

// Finds a resource by type and name (both compared exactly). Any thread.
// Raises EResNotFound when there is none.
ResourceBlob FindResource(std::string_view type, std::string_view name);

// The product version from the build, "1.0.8.4".
const char* ProductVersion();

namespace detail {
struct ResourceEntry {
  const char* type;
  const char* name;
  const unsigned char* data;
  std::size_t size;
};
extern const ResourceEntry kResourceTable[];  // ends with an all-null entry
}  // namespace detail

}  // namespace kv9
