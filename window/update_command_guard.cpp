#include "window/update_command_guard.h"

namespace kv9::window {

void UpdateCommandGuard::SearchStarted() { searching_ = true; }

void UpdateCommandGuard::SearchEnded(bool moduleSupported) {
  searching_ = false;
  supported_ = moduleSupported;
  locked_ = false;
}

void UpdateCommandGuard::SearchCancelled() { searching_ = false; }

void UpdateCommandGuard::RunStarted() { running_ = true; }

void UpdateCommandGuard::RunEnded() { running_ = false; }

void UpdateCommandGuard::Lock() { locked_ = true; }

bool UpdateCommandGuard::Enabled() const { return supported_ && !locked_ && !Busy(); }

}  // namespace kv9::window
