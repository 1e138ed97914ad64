// A child the benchmark ends is gone, and reaped, in bounded time: whether it
// ends on SIGTERM or ignores it.
#include "bench/benchmark/child_stop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace quorvane::bench {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

pid_t StartShell(const char* script) {
  const char* argv[] = {"sh", "-c", script, nullptr};
  pid_t pid = -1;
  if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  return pid;
}

// Reaped: no process of that id is left, not even a zombie.
bool Gone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

TEST(ChildStop, AChildThatEndsOnSigtermIsReapedWithinTheGrace) {
  const pid_t pid = StartShell("exec sleep 30");
  ASSERT_GT(pid, 0);
  const auto start = Clock::now();
  EXPECT_TRUE(StopChild(pid, pid, 5s));
  EXPECT_LT(Clock::now() - start, 4s);
  EXPECT_TRUE(Gone(pid));
}

TEST(ChildStop, AChildThatIgnoresSigtermIsKilledAfterTheGrace) {
  // The shell's ignored SIGTERM stays ignored across exec.
  const pid_t pid = StartShell("trap '' TERM; exec sleep 30");
  ASSERT_GT(pid, 0);
  std::this_thread::sleep_for(200ms);  // the trap set before the signal comes
  const auto start = Clock::now();
  EXPECT_FALSE(StopChild(pid, pid, 300ms));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 10s);
  EXPECT_TRUE(Gone(pid));
}

}  // namespace
}  // namespace quorvane::bench
