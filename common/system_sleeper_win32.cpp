#include <windows.h>

#include <memory>
//
#include <timeapi.h>

#include "common/failure.h"
#include "common/monotonic_clock.h"
#include "common/system_sleeper.h"
#include "common/windows_text.h"

// Windows 10 1803 and later; older mingw-w64 headers lack the name.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace quorvane {

namespace {

// The wake-up margin. A high-resolution waitable timer woke, under Wine 8
// on this 2-core machine (busy with others' builds), a median of 0.7 to
// 0.9 ms late, 1.2 ms at the 90th percentile and 1.9 to 5.4 ms at worst
// (three runs of 20 sleeps at the answer's priority); Windows itself wakes
// it within about half a millisecond. 3 ms covers all but the rarest of
// those, and spinning it costs 3 ms a second, 0.3 % of a core, the most a
// wait spins.
constexpr std::int64_t kWakeUpMarginNs = 3'000'000;

class WaitableTimerSleeper final : public Sleeper {
 public:
  WaitableTimerSleeper();
  ~WaitableTimerSleeper() override;
  WaitableTimerSleeper(const WaitableTimerSleeper&) = delete;
  WaitableTimerSleeper& operator=(const WaitableTimerSleeper&) = delete;

  void SleepUntil(std::int64_t deadlineNs) override;
  std::int64_t WakeUpMarginNs() const override { return kWakeUpMarginNs; }
  void BeginPreciseSleeps() override;
  void EndPreciseSleeps() override;

 private:
  HANDLE timer_ = nullptr;
  bool highResolution_ = false;
  bool finerSystemTimer_ = false;  // timeBeginPeriod(1) is in force
};

// A high-resolution timer wakes within a fraction of a millisecond without
// touching the system-wide timer; Windows before 10 1803 refuses the flag.
WaitableTimerSleeper::WaitableTimerSleeper()
    : timer_(
          CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS)),
      highResolution_(timer_ != nullptr) {
  if (!highResolution_) timer_ = CreateWaitableTimerW(nullptr, FALSE, nullptr);
  if (timer_ == nullptr)
    throw Failure("cannot make a timer for the answer's steps: " + win32::LastSystemErrorText());
}

WaitableTimerSleeper::~WaitableTimerSleeper() {
  EndPreciseSleeps();
  CloseHandle(timer_);
}

void WaitableTimerSleeper::SleepUntil(std::int64_t deadlineNs) {
  // The timer counts in 100 ns units on its own clock: a wake-up a hair
  // before the deadline on QueryPerformanceCounter sleeps the rest again.
  for (std::int64_t left = deadlineNs - MonotonicNanoseconds(); left > 0;
       left = deadlineNs - MonotonicNanoseconds()) {
    LARGE_INTEGER due;
    due.QuadPart = -((left + 99) / 100);  // negative: relative to now
    if (!SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE))
      throw Failure("cannot set the timer for the answer's steps: " + win32::LastSystemErrorText());
    WaitForSingleObject(timer_, INFINITE);
  }
}

void WaitableTimerSleeper::BeginPreciseSleeps() {
  // An ordinary timer wakes on the system's tick, 15.6 ms by default: for
  // the answer only (it costs the whole machine power) the tick is made
  // 1 ms, and put back after.
  if (highResolution_ || finerSystemTimer_) return;
  finerSystemTimer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
}

void WaitableTimerSleeper::EndPreciseSleeps() {
  if (!finerSystemTimer_) return;
  timeEndPeriod(1);
  finerSystemTimer_ = false;
}

}  // namespace

std::unique_ptr<Sleeper> MakeSystemSleeper() { return std::make_unique<WaitableTimerSleeper>(); }

}  // namespace quorvane
