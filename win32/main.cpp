// The Windows window's start routine: common controls, the hand-over pump,
// the main window, and the message loop until the window closes.
#include <windows.h>
#include <commctrl.h>

#include <exception>

#include "main_window.h"
#include "wide_text.h"
#include "win32_message_pump.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  Win32MessagePump pump;
  kv9::SetPump(&pump);
  int result = 0;
  try {
    MainWindow window;
    if (!window.Create(instance, show)) return 1;
    pump.SetMainWindow(window.Handle(), window.Accelerators());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) pump.Dispatch(msg);
    result = static_cast<int>(msg.wParam);
    pump.SetMainWindow(nullptr, nullptr);
  } catch (const std::exception& e) {
    // What escapes the window (a missing resource at start): said, not swallowed.
    MessageBoxW(nullptr, Widen(e.what()).c_str(), L"KV9Update", MB_OK | MB_ICONERROR);
    result = 1;
  }
  kv9::SetPump(nullptr);
  return result;
}
