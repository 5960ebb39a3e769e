#pragma once
// What the core must show a person, implemented by each front end: the Qt
// shell with real widgets, the terminal front end on stdout/stderr, tests
// with recorders. The core never includes a toolkit header.
#include <string>

namespace kv9 {

class LinkUi {
 public:
  virtual ~LinkUi() = default;
  // A plain message box the person confirms (blocks until confirmed).
  virtual void ShowMessage(const std::string& text) = 0;
  // An error box (the toolkit's default error handler shows these).
  virtual void ShowError(const std::string& text) = 0;
};

}  // namespace kv9
