// A signal that lands in the answer's sleep (a stop asked for) must not
// end the sleep early: the step would be written before its time.
#include <signal.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include "common/monotonic_clock.h"
#include "common/system_sleeper.h"

namespace quorvane {
namespace {

volatile sig_atomic_t alarms = 0;
void CountAlarm(int) { alarms = alarms + 1; }

TEST(SystemSleeperPosix, ASignalDuringTheSleepPutsItBackToSleepUntilTheDeadline) {
  // A handler without SA_RESTART, as the program's stop signals have: the
  // kernel cuts the sleep short with EINTR.
  struct sigaction action {};
  action.sa_handler = CountAlarm;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
  alarms = 0;
  const std::int64_t deadline = MonotonicNanoseconds() + 300'000'000;
  // An alarm every 50 ms from 50 ms on: several land inside the sleep.
  itimerval every50ms{{0, 50000}, {0, 50000}};
  ASSERT_EQ(setitimer(ITIMER_REAL, &every50ms, nullptr), 0);
  const auto sleeper = MakeSystemSleeper();
  sleeper->SleepUntil(deadline);
  const std::int64_t woke = MonotonicNanoseconds();
  itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
  EXPECT_GE(alarms, 1) << "no signal reached the sleep";
  EXPECT_GE(woke, deadline);
}

}  // namespace
}  // namespace quorvane
