// The poll timer of the Windows window in real time: its clock on its own, with
// short periods, and the window's message loop around it: when the first
// tick comes, and what happens to the ticks that fall due while an answer
// holds the window's one thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/system_clock.h"
#include "core/life/tick_timer.h"
#include "core/life/tick_timer_win32.h"
#include "fake_port.h"
#include "front_ends/win32_window/control_ids.h"
#include "front_ends/win32_window/status_window.h"
#include "tick_timer_cases.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;

// How many times longer a wait may take: Wine under emulation is slower.
std::int64_t Slack() {
  const char* factor = std::getenv("WINE_TIME_FACTOR");
  const long value = factor ? std::atol(factor) : 1;
  return value > 0 ? value : 1;
}

bool Signalled(const TickTimer& timer) {
  const HANDLE handle = static_cast<HANDLE>(WaitHandle(timer));
  return handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

TEST(TickTimerWin32, PeriodsDueWhileNobodyTookThemAreCountedAndTakenAtOnce) {
  TickTimer timer(50ms);
  EXPECT_EQ(WaitHandle(timer), nullptr) << "nothing to wait for before the start";
  // And once they are taken, the handle waits for the next.
  testing::ExpectPeriodsDueUntakenCountedAndTakenAtOnce(timer, [&] { return Signalled(timer); });

  timer.Stop();
  EXPECT_EQ(WaitHandle(timer), nullptr) << "a message loop would wake for a stopped timer";
  EXPECT_EQ(timer.WaitForExpirations(), 0u);  // at once, never waits for ever
}

TEST(TickTimerWin32, DeadlinesLieOnWholePeriodsFromTheStartHoweverLateTheTake) {
  testing::ExpectDeadlinesOnWholePeriodsFromTheStart(300ms, Slack());
}

// Ends the message loop at the `pollsToRun`th poll, and notes whether a
// poll came inside an answer: from a raised poll until the answer's fourth
// write.
struct PollWatch {
  explicit PollWatch(testing::FakePort& port, int pollsToRun = 1) {
    port.onRead = [&port, this, pollsToRun] {
      if (answering) pollInsideAnAnswer = true;
      if (port.ReadCount() == pollsToRun) PostQuitMessage(0);
      if (port.Reads().back().value & port_map::kRequestMask) {
        answering = true;
        writesBefore = port.WriteCount();
      }
    };
  }
  // Called from the port's onWrite.
  void Written(const testing::FakePort& port) {
    if (answering && port.WriteCount() == writesBefore + 4) answering = false;
  }
  bool answering = false;
  bool pollInsideAnAnswer = false;
  long writesBefore = 0;
};

TEST(PollTimerWin32, TheFirstTickComesAboutASecondAfterTheWindowIsMade) {
  SystemClock clock;
  testing::FakePort port;
  PollWatch watch(port);
  win32::StatusWindow form(port, clock);
  // The program's life starts the poll timer as the window is made (making it
  // takes long under emulation, which is not the timer's).
  const std::int64_t made = testing::SteadyMs();
  form.StartTimer();
  // A stopped StatusWindow loop has nothing to end it: the first poll does.
  form.RunEventLoop();
  ASSERT_EQ(port.ReadCount(), 1);
  const std::int64_t firstTick = port.ReadTimesMs()[0] - made;
  EXPECT_GE(firstTick, 999);
  EXPECT_LE(firstTick, 1000 + 300 * Slack());
  EXPECT_EQ(form.Life().Text(status_window::kStatusLine), "Waiting for Request...");
}

TEST(PollTimerWin32, ATickDueDuringAnAnswerComesOnceAfterItAndNoTickRunsInsideAnother) {
  SystemClock clock;  // the answer's three one-second waits are real
  testing::FakePort port;
  port.RaiseRequestFor(1);
  PollWatch watch(port, 3);  // the poll that answers, the late tick, the next regular one
  port.Out32(port_map::kControl, port_map::kAnswerIdle);  // stands for the start-up's write
  win32::StatusWindow form(port, clock);
  // Messages arrive during the answer; none may start a tick inside it.
  const HWND window = FindWindowW(QUORVANE_WINDOW_CLASS, nullptr);
  port.onWrite = [&] {
    watch.Written(port);
    PostMessageW(window, WM_NULL, 0, 0);
    PostMessageW(window, WM_TIMER, 1, 0);
  };
  form.StartTimer();
  form.RunEventLoop();
  const std::vector<std::int64_t> reads = port.ReadTimesMs(), writes = port.WriteTimesMs();
  ASSERT_EQ(reads.size(), 3u);
  ASSERT_EQ(writes.size(), 5u);
  EXPECT_FALSE(watch.pollInsideAnAnswer);
  const std::int64_t answerEnd = writes.back();
  EXPECT_GE(answerEnd - reads[0], 2990);
  // Three ticks fell due during the answer; one of them is delivered at once.
  EXPECT_GE(reads[1], answerEnd);
  EXPECT_LE(reads[1] - answerEnd, 150 * Slack());
  // The others are not made up: the next tick is on the next whole period.
  const std::int64_t gap = reads[2] - reads[1];
  EXPECT_GE(gap, 700);
  EXPECT_LE(gap, 1000 + 300 * Slack());
  // Whole periods from the start: the third poll is five periods after it.
  EXPECT_NEAR(static_cast<double>(reads[2] - reads[0]), 4000.0, 50.0 * Slack());
}

}  // namespace
}  // namespace quorvane
