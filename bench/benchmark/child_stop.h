#pragma once

// Ends a child the benchmark started, in bounded time whatever the child
// does: a program that ignores SIGTERM or hangs in its exit must not hang
// the benchmark with it.

#include <sys/types.h>

#include <chrono>

namespace quorvane::bench {

// Sends SIGTERM to `target` (the child's pid, or minus its process group
// to end the whole group), waits up to `grace` for the child `pid` to end,
// then sends SIGKILL and waits a little more. True when it ended within the
// grace; either way it has been reaped unless even SIGKILL did not end it.
bool StopChild(pid_t pid, pid_t target, std::chrono::milliseconds grace);

}  // namespace quorvane::bench
