#pragma once

// What the poll timer's clock does on every system, checked in real time with short
// periods. Each system's test runs these with periods and slack of its own
// (Wine under emulation is slower), and says how it sees that nothing is due.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "core/life/tick_timer.h"

namespace quorvane::testing {

// `timer`, not yet started, is started and left unread for five periods and
// a quarter: one take gets all that came due, never more than the time
// allows, and after it nothing is due.
inline void ExpectPeriodsDueUntakenCountedAndTakenAtOnce(TickTimer& timer,
                                                         const std::function<bool()>& somethingDue) {
  using Clock = std::chrono::steady_clock;  // the timer's clock on both systems
  const auto period = std::chrono::duration_cast<std::chrono::milliseconds>(timer.Period());
  EXPECT_EQ(timer.TakeExpirations(), 0u);  // never started
  const auto start = Clock::now();
  timer.Start();
  std::this_thread::sleep_for(period * 5 + period / 2);
  const std::uint64_t taken = timer.TakeExpirations();
  const auto elapsed = Clock::now() - start;
  // Five came due (more if the sleep overslept), never more than the time allows.
  EXPECT_GE(taken, 5u);
  EXPECT_LE(taken, static_cast<std::uint64_t>(elapsed / period));
  // All of them went with that one take.
  EXPECT_EQ(timer.TakeExpirations(), 0u);
  EXPECT_FALSE(somethingDue());
}

// The first deadline is one period after the start, never before; a take
// half a period late does not move the next deadline: it is the next whole
// period after the start, not a period after the take. `slack` widens the
// upper bound on a slow system.
inline void ExpectDeadlinesOnWholePeriodsFromTheStart(std::chrono::milliseconds period,
                                                      std::int64_t slack = 1) {
  using Clock = std::chrono::steady_clock;
  TickTimer timer(period);
  const auto start = Clock::now();
  timer.Start();
  EXPECT_EQ(timer.WaitForExpirations(), 1u);
  EXPECT_GE(Clock::now() - start, period);
  std::this_thread::sleep_for(period + period / 2);
  std::uint64_t taken = 1 + timer.TakeExpirations();
  taken += timer.WaitForExpirations();
  const auto sinceStart = Clock::now() - start;
  EXPECT_GE(sinceStart, taken * period);
  EXPECT_LT(sinceStart, taken * period + period * 2 / 5 * slack) << "re-armed from the take?";
}

}  // namespace quorvane::testing
