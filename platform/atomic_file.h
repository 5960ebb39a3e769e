#pragma once
// Files that are either there whole or not at all: the text goes to a
// temporary name beside the target, is flushed to the disk, and only then
// takes the target's name. A full disk, a read-only folder or a power cut
// leave the old file (or none), never a half-written one that looks whole.
#include <string>

namespace kv9 {

// Writes `content` to `path` as above. On failure returns false with `error`
// naming the file and the system's reason; the temporary file is removed.
bool WriteFileAtomically(const std::string& path, const std::string& content, std::string& error);

// The whole content of `path`; false with `error` when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content, std::string& error);

}  // namespace kv9
