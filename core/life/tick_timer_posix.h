#pragma once

// Linux only: the descriptor behind a TickTimer, for an event loop to watch.

#include "core/life/tick_timer.h"

namespace quorvane {

// The timer's timerfd: readable while a period has come due and not been
// taken. -1 before the first start; it may change when a stopped timer had
// to be closed (see TickTimer::Stop), so a watcher looks again after each
// start.
int WaitDescriptor(const TickTimer& timer);

}  // namespace quorvane
