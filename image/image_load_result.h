#pragma once
// What a load of the image buffer came to, and what the front end must show
// for it. The image code neither logs nor shows anything itself: it lists
// the lines and boxes in the order they are due, and the controller passes
// them on. Pure.
#include <string>
#include <vector>

namespace kv9 {

struct ImageNotice {
  enum class Kind {
    DebugLine,   // a log line shown only while the debug display is on
    ForcedLine,  // a log line shown always
    MessageBox,  // a modal box with an OK button
  };
  Kind kind;
  std::string text;

  bool operator==(const ImageNotice&) const = default;
};

struct ImageLoadResult {
  bool ok = false;
  // Why the load failed, for front ends that print it; empty after a good
  // load. The buffer keeps the same text.
  std::string problem;
  std::vector<ImageNotice> notices;  // in the order they are to be shown

  void Debug(std::string text) {
    notices.push_back({ImageNotice::Kind::DebugLine, std::move(text)});
  }
  void Forced(std::string text) {
    notices.push_back({ImageNotice::Kind::ForcedLine, std::move(text)});
  }
  void Box(std::string text) {
    notices.push_back({ImageNotice::Kind::MessageBox, std::move(text)});
  }
};

}  // namespace kv9
