#include <time.h>

#include <cerrno>
#include <memory>

#include "common/system_sleeper.h"

namespace quorvane {

namespace {

// The wake-up margin. In the real-time class the service answers in, a
// bare clock_nanosleep to absolute deadlines woke, on this 2-core machine
// with every CPU busy, a median of 47 to 60 us late and at most 258 us in
// 200 sleeps (the benchmark's sleep floor saw one stall of 9.7 ms in 70,
// which would have stopped a spin as well); in the normal class on a quiet
// machine some 50 to 100 us (its timer slack is 50 us). 1 ms is four times
// the worst ordinary wake-up, and spinning it costs 1 ms a second, 0.1 % of
// a core: a wait spins no longer, so even a thread in the real-time class
// never holds a core for more than that.
constexpr std::int64_t kWakeUpMarginNs = 1'000'000;

class PosixSleeper final : public Sleeper {
 public:
  void SleepUntil(std::int64_t deadlineNs) override;
  std::int64_t WakeUpMarginNs() const override { return kWakeUpMarginNs; }
  // Linux's high-resolution timers need no asking: the bracket's defaults.
};

void PosixSleeper::SleepUntil(std::int64_t deadlineNs) {
  if (deadlineNs <= 0) return;
  const timespec deadline{static_cast<time_t>(deadlineNs / 1'000'000'000),
                          static_cast<long>(deadlineNs % 1'000'000'000)};
  // An absolute deadline: a signal's handler (a stop asked for) interrupts
  // the sleep, and sleeping again to the same deadline loses nothing.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace

std::unique_ptr<Sleeper> MakeSystemSleeper() { return std::make_unique<PosixSleeper>(); }

}  // namespace quorvane
