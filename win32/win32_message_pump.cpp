#include "win32_message_pump.h"

namespace {

constexpr UINT kHandOverMessage = WM_APP + 1;
constexpr wchar_t kClassName[] = L"KV9HandOverTarget";

}  // namespace

Win32MessagePump::Win32MessagePump() {
  WNDCLASSW cls{};
  cls.lpfnWndProc = &Win32MessagePump::WindowProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = kClassName;
  RegisterClassW(&cls);
  target_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            cls.hInstance, nullptr);
  SetWindowLongPtrW(target_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32MessagePump::~Win32MessagePump() { DestroyWindow(target_); }

void Win32MessagePump::SetMainWindow(HWND window, HACCEL accelerators) {
  mainWindow_ = window;
  accelerators_ = accelerators;
}

LRESULT CALLBACK Win32MessagePump::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kHandOverMessage) {
    auto* pump = reinterpret_cast<Win32MessagePump*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (pump) pump->RunPending();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Win32MessagePump::WakeUiThread() {
  // Any thread. One posted message per hand-over; a message that finds the
  // queue already drained runs nothing.
  PostMessageW(target_, kHandOverMessage, 0, 0);
}

void Win32MessagePump::Dispatch(MSG& msg) {
  if (mainWindow_ && accelerators_ && IsWindow(mainWindow_) &&
      (msg.hwnd == mainWindow_ || IsChild(mainWindow_, msg.hwnd)) &&
      TranslateAcceleratorW(mainWindow_, accelerators_, &msg)) {
    return;
  }
  HWND active = GetActiveWindow();
  if (active && active != mainWindow_ && IsDialogMessageW(active, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32MessagePump::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // For the main loop: a wait must not swallow the end of the program.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
  RunPending();  // hand-overs queued before the window existed
}

void Win32MessagePump::WaitMessages(std::uint32_t ms) {
  const std::uint64_t before = HandledCount();
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    ProcessMessages();
    if (HandledCount() != before) return;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}
