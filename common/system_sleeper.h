#pragma once

#include <memory>

#include "common/sleeper.h"

namespace quorvane {

// The machine's sleep on the monotonic clock: clock_nanosleep on an
// absolute CLOCK_MONOTONIC deadline on Linux; a high-resolution waitable
// timer on Windows, or, where the system has none, an ordinary one with the
// system's timer made 1 ms fine for the span of an answer only. A Windows
// timer that cannot be made is a Failure.
std::unique_ptr<Sleeper> MakeSystemSleeper();

}  // namespace quorvane
