#include "front_ends/win32_window/message_loop.h"

#include "common/failure.h"
#include "common/windows_text.h"
#include "core/life/tick_timer_win32.h"

namespace quorvane::win32 {

int RunMessageLoop(HWND dialog, TickTimer& timer1, const std::function<void()>& tick,
                   const std::function<void(const std::string&)>& failed) {
  MSG message{};
  for (;;) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      if (!dialog || !IsDialogMessageW(dialog, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    HANDLE timer = static_cast<HANDLE>(WaitHandle(timer1));
    const DWORD handles = timer ? 1 : 0;
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(handles, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_FAILED) throw Failure("the window's message loop failed: " + LastSystemErrorText());
    if (handles == 1 && woke == WAIT_OBJECT_0) {
      try {
        if (timer1.TakeExpirations() > 0) tick();
      } catch (const Failure& failure) {
        failed(failure.what());
      }
    }
  }
}

}  // namespace quorvane::win32
