#pragma once

// The poll timer's clock, for every front end: a periodic timer whose deadlines lie
// at whole periods after its start on the monotonic clock, so the period is
// neither rounded nor stretched and the phase never drifts. Periods that come
// due while nobody takes them are counted, not queued: whoever takes them
// learns how many there were and delivers one tick for all of them, and the
// next deadline is still the next whole period after now.
//
// A timerfd on Linux (tick_timer_posix.cpp), a waitable timer on Windows
// (tick_timer_win32.cpp). Every failure throws Failure naming the poll timer and the
// system's reason.

#include <chrono>
#include <cstdint>
#include <memory>

namespace quorvane {

class TickTimer {
 public:
  explicit TickTimer(std::chrono::nanoseconds period);
  ~TickTimer();
  TickTimer(const TickTimer&) = delete;
  TickTimer& operator=(const TickTimer&) = delete;

  // Arms it: the first deadline one period from now, then one every period.
  // The system's timer is made on the first start, so that making the
  // window never fails.
  void Start();
  // Disarms it; expirations not yet taken are dropped. Never throws: a
  // timer that cannot be disarmed is closed, which stops it as well.
  void Stop() noexcept;
  bool Running() const { return running_; }

  // The periods that came due since the last take; 0 when none did (or the
  // timer is stopped). Never waits.
  std::uint64_t TakeExpirations();
  // Waits until a period comes due, then takes every one that has; returns
  // 0 at once when the timer is stopped.
  std::uint64_t WaitForExpirations();

  std::chrono::nanoseconds Period() const { return period_; }

  // The system's timer, defined in each platform's file; a platform's own
  // glue (tick_timer_posix.h) may reach it, nothing shared does.
  struct Handle;
  Handle* SystemHandle() const { return handle_.get(); }

 private:
  std::chrono::nanoseconds period_;
  std::unique_ptr<Handle> handle_;
  bool running_ = false;
};

}  // namespace quorvane
