#include "platform/resources.h"

#include "kv9_version.h"

namespace kv9 {

ResourceBlob FindResource(std::string_view type, std::string_view name) {
  for (const detail::ResourceEntry* e = detail::kResourceTable; e->type != nullptr; ++e) {
    if (type == e->type && name == e->name) return {e->data, e->size};
  }
  throw EResNotFound(std::string(name));
}

const char* ProductVersion() { return KV9_PRODUCT_VERSION; }

}  // namespace kv9
