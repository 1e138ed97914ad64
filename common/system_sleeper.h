#pragma once

#include <cstdint>

#include "common/sleeper.h"

namespace quorvane {

// The machine's sleep on the monotonic clock: clock_nanosleep on an
// absolute CLOCK_MONOTONIC deadline on Linux; a high-resolution waitable
// timer on Windows, or, where the system has none, an ordinary one with the
// system's timer made 1 ms fine for the span of an answer only.
class SystemSleeper final : public Sleeper {
 public:
  SystemSleeper();
  ~SystemSleeper() override;
  SystemSleeper(const SystemSleeper&) = delete;
  SystemSleeper& operator=(const SystemSleeper&) = delete;

  void SleepUntil(std::int64_t deadlineNs) override;
  std::int64_t WakeUpMarginNs() const override;
  void BeginPreciseSleeps() override;
  void EndPreciseSleeps() override;

 private:
  void* timer_ = nullptr;          // Windows: the waitable timer's handle
  bool highResolution_ = false;    // Windows: the timer is a high-resolution one
  bool finerSystemTimer_ = false;  // Windows: timeBeginPeriod(1) is in force
};

}  // namespace quorvane
