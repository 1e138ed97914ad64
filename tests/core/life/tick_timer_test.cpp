// The poll timer's clock on its own, with short periods: what a take returns, where
// the deadlines lie, what stopping does, and how its failures read.
#include "core/life/tick_timer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <string>
#include <thread>

#include "common/failure.h"
#include "core/life/tick_timer_posix.h"
#include "tick_timer_cases.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, as the timer's

bool Readable(const TickTimer& timer) {
  pollfd due{WaitDescriptor(timer), POLLIN, 0};
  return ::poll(&due, 1, 0) == 1;
}

TEST(TickTimer, PeriodsDueWhileNobodyTookThemAreCountedAndTakenAtOnce) {
  TickTimer timer(20ms);
  testing::ExpectPeriodsDueUntakenCountedAndTakenAtOnce(timer, [&] { return Readable(timer); });
}

TEST(TickTimer, DeadlinesLieOnWholePeriodsFromTheStartHoweverLateTheTake) {
  testing::ExpectDeadlinesOnWholePeriodsFromTheStart(200ms);
}

TEST(TickTimer, StopDisarmsDropsWhatWasDueAndAStartArmsAfresh) {
  TickTimer timer(20ms);
  timer.Start();
  std::this_thread::sleep_for(60ms);
  timer.Stop();
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(timer.TakeExpirations(), 0u);
  EXPECT_EQ(timer.WaitForExpirations(), 0u);  // at once, never waits for ever
  std::this_thread::sleep_for(60ms);
  EXPECT_FALSE(Readable(timer));

  const auto restart = Clock::now();
  timer.Start();
  EXPECT_EQ(timer.WaitForExpirations(), 1u);
  EXPECT_GE(Clock::now() - restart, 20ms);
}

TEST(TickTimer, NoDescriptorLeftMeansAFailureNamingThePollTimerAndTheReason) {
  // The lowest free descriptor becomes the limit: the timer cannot have one.
  const int lowestFree = ::dup(0);
  ASSERT_GE(lowestFree, 0);
  ::close(lowestFree);
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &previous), 0);
  rlimit tight = previous;
  tight.rlim_cur = static_cast<rlim_t>(lowestFree);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  TickTimer timer(20ms);
  // The failure is looked at only once descriptors are free again: the
  // sanitizers' own checks of an object need one.
  std::exception_ptr caught;
  try {
    timer.Start();
  } catch (...) {
    caught = std::current_exception();
  }
  ::setrlimit(RLIMIT_NOFILE, &previous);
  std::string message;
  try {
    if (caught) std::rethrow_exception(caught);
  } catch (const Failure& failure) {
    message = failure.what();
  }
  EXPECT_EQ(message, "cannot make the poll timer: Too many open files");
  EXPECT_FALSE(timer.Running());
  // Once a descriptor is free again it starts.
  timer.Start();
  EXPECT_TRUE(timer.Running());
}

TEST(TickTimer, ADescriptorThatCannotBeReadIsAFailureNotALoop) {
  TickTimer timer(20ms);
  timer.Start();
  // Something else behind the timer's descriptor: always "ready", never readable.
  const int notReadable = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(notReadable, 0);
  ASSERT_EQ(::dup2(notReadable, WaitDescriptor(timer)), WaitDescriptor(timer));
  ::close(notReadable);
  for (const bool waiting : {false, true}) {
    SCOPED_TRACE(waiting ? "wait" : "take");
    try {
      waiting ? timer.WaitForExpirations() : timer.TakeExpirations();
      ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
      EXPECT_STREQ(failure.what(), "cannot read the poll timer: Bad file descriptor");
    }
  }
}

}  // namespace
}  // namespace quorvane
