#pragma once
// The module's end of the serial line: a pseudo-terminal master in raw mode,
// and the COM<n> link that publishes its slave where the tool's port table
// looks (the directory named by KV9_PORT_DIR).
#include <cstdint>
#include <filesystem>
#include <string>

#include "wire/unique_fd.h"

namespace kv9::sim {

class PtyMaster {
 public:
  // Opens a non-blocking master and puts the line in raw 8-bit mode at
  // `initialRate` before anyone can open the slave. Throws std::system_error.
  explicit PtyMaster(std::uint32_t initialRate);

  int Fd() const { return fd_.Get(); }
  bool IsOpen() const { return fd_.Valid(); }
  const std::string& SlavePath() const { return slavePath_; }
  void Close() { fd_.Reset(); }

  // The one rate the tool's side runs at: the slave's output speed, as the
  // master sees it. A UART has one rate for both directions; the input speed
  // field is not used, because a client that sets its rate with plain
  // tcsetattr leaves whatever input speed an earlier termios2 user stored
  // there. Returns false when it cannot be read.
  bool ToolRate(std::uint32_t* rate) const;

 private:
  UniqueFd fd_;
  std::string slavePath_;
};

class PortLink {
 public:
  // Creates `dir`/COM<n> -> target. With comNumber 0 it takes the lowest free
  // number. A link whose target no longer exists (left by a module that
  // died) is replaced; a live one is never. Throws std::runtime_error.
  PortLink(const std::filesystem::path& dir, unsigned comNumber, const std::string& target);
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;
  ~PortLink() { Remove(); }

  // Removes the link if it still points at our slave.
  void Remove();
  const std::string& Name() const { return name_; }
  const std::filesystem::path& Path() const { return path_; }
  unsigned Number() const { return number_; }

 private:
  bool TryCreate(unsigned n, bool replaceDangling);

  std::filesystem::path dir_;
  std::filesystem::path path_;
  std::string name_;
  std::string target_;
  unsigned number_ = 0;
  bool created_ = false;
};

}  // namespace kv9::sim
