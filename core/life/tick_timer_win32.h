#pragma once

// Windows only: the waitable timer behind a TickTimer, for a message loop
// to wait for (MsgWaitForMultipleObjectsEx).

#include "core/life/tick_timer.h"

namespace quorvane {

// The timer's handle (a HANDLE), signalled once a period has come due and
// stays so until TickTimer::TakeExpirations counts it; nullptr while the
// timer is stopped, when there is nothing to wait for.
void* WaitHandle(const TickTimer& timer);

}  // namespace quorvane
