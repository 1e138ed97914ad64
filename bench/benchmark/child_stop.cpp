#include "bench/benchmark/child_stop.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

namespace quorvane::bench {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// SIGKILL cannot be caught: what outlasts this is stuck in the kernel.
constexpr auto kKillGrace = 5s;

// Polls for the child's end until `deadline`; true once it is reaped (or is
// no child of ours to reap).
bool ReapedBy(pid_t pid, Clock::time_point deadline) {
  for (;;) {
    const pid_t ended = ::waitpid(pid, nullptr, WNOHANG);
    if (ended == pid || (ended < 0 && errno != EINTR)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
}

}  // namespace

bool StopChild(pid_t pid, pid_t target, std::chrono::milliseconds grace) {
  ::kill(target, SIGTERM);
  if (ReapedBy(pid, Clock::now() + grace)) return true;
  ::kill(target, SIGKILL);
  ReapedBy(pid, Clock::now() + kKillGrace);
  return false;
}

}  // namespace quorvane::bench
