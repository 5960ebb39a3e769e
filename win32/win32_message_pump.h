#pragma once
// The message pump of the Windows window: the core's hand-overs from the
// serial port's event thread are posted to a message-only window of the
// user-interface thread, so they run in whatever message loop is turning at
// the time: the main loop, a modal dialog's, a message box's, or a reply
// wait's (ProcessMessages / WaitMessages below).
#include <windows.h>

#include "platform/message_pump.h"

class Win32MessagePump : public kv9::MessagePump {
 public:
  // Call on the user-interface thread, before any port opens.
  Win32MessagePump();
  ~Win32MessagePump() override;

  // The main window and its accelerators, so keys work in the waits too.
  void SetMainWindow(HWND window, HACCEL accelerators);

  void ProcessMessages() override;
  void WaitMessages(std::uint32_t ms) override;

  // Translates and dispatches one message the way every loop of the program
  // does (accelerators of the main window, dialog keys of a modeless window).
  void Dispatch(MSG& msg);

 protected:
  void WakeUiThread() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND target_ = nullptr;
  HWND mainWindow_ = nullptr;
  HACCEL accelerators_ = nullptr;
};
