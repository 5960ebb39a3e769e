#pragma once
// When the update command may run: the last search found a supported
// module, no run or search is going on, and nothing since that search
// (a failed run, a re-write-mode success, the search itself finding
// nothing) has asked for the module to be found again. The windows enable
// the tool button, the firmware menu and "書込" from Enabled() alone.
namespace kv9::window {

class UpdateCommandGuard {
 public:
  void SearchStarted();
  // `moduleSupported`: the controller's verdict after the search.
  void SearchEnded(bool moduleSupported);
  // The port dialog was cancelled: the earlier verdict stands.
  void SearchCancelled();
  void RunStarted();
  void RunEnded();
  // The core's DisableUpdateCommands: until the next search.
  void Lock();
  bool Enabled() const;
  bool Busy() const { return running_ || searching_; }

 private:
  bool supported_ = false;
  bool locked_ = false;
  bool running_ = false;
  bool searching_ = true;  // the start-up search comes first
};

}  // namespace kv9::window
