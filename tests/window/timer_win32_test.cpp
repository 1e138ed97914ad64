// Timer1 of the Windows window in real time: its clock on its own, with
// short periods, and the window's message loop around it: when the first
// tick comes, and what happens to the ticks that fall due while an answer
// holds the window's one thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "common/system_clock.h"
#include "port/port_io.h"
#include "window/tick_timer.h"
#include "window/tick_timer_win32.h"
#include "window/win32/form1.h"
#include "window/win32/form1_ids.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;  // the performance counter, as the timer's

// How many times longer a wait may take: Wine under emulation is slower.
std::int64_t Slack() {
  const char* factor = std::getenv("WINE_TIME_FACTOR");
  const long value = factor ? std::atol(factor) : 1;
  return value > 0 ? value : 1;
}

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

bool Signalled(const TickTimer& timer) {
  const HANDLE handle = static_cast<HANDLE>(WaitHandle(timer));
  return handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

TEST(TickTimerWin32, PeriodsDueWhileNobodyTookThemAreCountedAndTakenAtOnce) {
  TickTimer timer(50ms);
  EXPECT_EQ(timer.TakeExpirations(), 0u);  // never started
  EXPECT_EQ(WaitHandle(timer), nullptr) << "nothing to wait for before the start";
  const auto start = Clock::now();
  timer.Start();
  std::this_thread::sleep_for(275ms);
  const std::uint64_t taken = timer.TakeExpirations();
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(taken, 5u);
  EXPECT_LE(taken, static_cast<std::uint64_t>(elapsed / 50ms));
  // All of them went with that one take, and the handle waits for the next.
  EXPECT_EQ(timer.TakeExpirations(), 0u);
  EXPECT_FALSE(Signalled(timer));

  timer.Stop();
  EXPECT_EQ(WaitHandle(timer), nullptr) << "a message loop would wake for a stopped timer";
  EXPECT_EQ(timer.WaitForExpirations(), 0u);  // at once, never waits for ever
}

TEST(TickTimerWin32, DeadlinesLieOnWholePeriodsFromTheStartHoweverLateTheTake) {
  constexpr auto period = 300ms;
  TickTimer timer(period);
  const auto start = Clock::now();
  timer.Start();
  // The first comes one period after the start, never before.
  EXPECT_EQ(timer.WaitForExpirations(), 1u);
  EXPECT_GE(Clock::now() - start, period);
  // A take half a period late does not move the next deadline.
  std::this_thread::sleep_for(period + period / 2);
  std::uint64_t taken = 1 + timer.TakeExpirations();
  taken += timer.WaitForExpirations();
  const auto sinceStart = Clock::now() - start;
  EXPECT_GE(sinceStart, taken * period);
  EXPECT_LT(sinceStart, taken * period + period * 2 / 5 * Slack()) << "re-armed from the take?";
}

// A port whose request line is raised for the next `raisedPolls` polls; it
// records when each access happened, whether a poll came inside an answer,
// and ends the message loop after `pollsToRun` polls.
class ScriptedPort final : public PortIo {
 public:
  std::int16_t Inp32(std::int16_t) override {
    readTimesMs.push_back(NowMs());
    if (answering) pollInsideAnAnswer = true;
    if (static_cast<int>(readTimesMs.size()) == pollsToRun) PostQuitMessage(0);
    if (raisedPolls > 0) {
      --raisedPolls;
      answering = true;
      return 0x10;
    }
    return 0;
  }
  void Out32(std::int16_t, std::int16_t value) override {
    writeTimesMs.push_back(NowMs());
    if (onWrite) onWrite();
    if (writeTimesMs.size() == 5) answering = false;  // the start-up's write, then four
    (void)value;
  }

  int raisedPolls = 0;
  int pollsToRun = 1;
  bool answering = false;
  bool pollInsideAnAnswer = false;
  std::vector<std::int64_t> readTimesMs, writeTimesMs;
  std::function<void()> onWrite;
};

TEST(Timer1Win32, TheFirstTickComesAboutASecondAfterTheWindowIsMade) {
  SystemClock clock;
  ScriptedPort port;
  win32::Form1 form(port, clock);
  form.Life().Variables().PortBase = 888;
  // The program's life starts Timer1 as the window is made (making it
  // takes long under emulation, which is not the timer's).
  const std::int64_t made = NowMs();
  form.StartTimer();
  // A stopped Form1 loop has nothing to end it: the first poll does.
  form.RunEventLoop();
  ASSERT_EQ(port.readTimesMs.size(), 1u);
  const std::int64_t firstTick = port.readTimesMs[0] - made;
  EXPECT_GE(firstTick, 999);
  EXPECT_LE(firstTick, 1000 + 300 * Slack());
  EXPECT_EQ(form.Life().Text(form1::kStatusLine), "Waiting for Request...");
}

TEST(Timer1Win32, ATickDueDuringAnAnswerComesOnceAfterItAndNoTickRunsInsideAnother) {
  SystemClock clock;  // the answer's three one-second waits are real
  ScriptedPort port;
  port.raisedPolls = 1;
  port.pollsToRun = 3;  // the poll that answers, the late tick, the next regular one
  port.writeTimesMs.push_back(NowMs());  // stands for the start-up's write
  win32::Form1 form(port, clock);
  // Messages arrive during the answer; none may start a tick inside it.
  const HWND window = FindWindowW(QUORVANE_FORM1_CLASS, nullptr);
  port.onWrite = [&] {
    PostMessageW(window, WM_NULL, 0, 0);
    PostMessageW(window, WM_TIMER, 1, 0);
  };
  form.Life().Variables().PortBase = 888;
  form.StartTimer();
  form.RunEventLoop();
  ASSERT_EQ(port.readTimesMs.size(), 3u);
  ASSERT_EQ(port.writeTimesMs.size(), 5u);
  EXPECT_FALSE(port.pollInsideAnAnswer);
  const std::int64_t answerEnd = port.writeTimesMs.back();
  EXPECT_GE(answerEnd - port.readTimesMs[0], 2990);
  // Three ticks fell due during the answer; one of them is delivered at once.
  EXPECT_GE(port.readTimesMs[1], answerEnd);
  EXPECT_LE(port.readTimesMs[1] - answerEnd, 150 * Slack());
  // The others are not made up: the next tick is on the next whole period.
  const std::int64_t gap = port.readTimesMs[2] - port.readTimesMs[1];
  EXPECT_GE(gap, 700);
  EXPECT_LE(gap, 1000 + 300 * Slack());
  // Whole periods from the start: the third poll is five periods after it.
  EXPECT_NEAR(static_cast<double>(port.readTimesMs[2] - port.readTimesMs[0]), 4000.0, 50.0 * Slack());
}

}  // namespace
}  // namespace quorvane
