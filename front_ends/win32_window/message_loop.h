#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "core/life/tick_timer.h"

namespace quorvane::win32 {

// The one thread's loop of a window with the poll timer: it waits for both, the
// window's messages and the timer (MsgWaitForMultipleObjectsEx). Every
// message waiting is handled, then the wait; a due poll tick comes first when
// both are there, and a wake runs `tick` at most once, however many periods
// came due. `tick` runs here, outside any window procedure. A Failure while
// taking the timer's expirations or inside `tick` goes to `failed`, and the
// loop goes on until told to end. Returns WM_QUIT's status; a wait the system
// refuses is a Failure.
//
// `dialog` gets the dialog keys (Enter presses its default button, Tab moves
// along the tab order); nullptr for none.
int RunMessageLoop(HWND dialog, TickTimer& timer1, const std::function<void()>& tick,
                   const std::function<void(const std::string&)>& failed);

}  // namespace quorvane::win32
