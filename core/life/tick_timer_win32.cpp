// The poll timer's clock on Windows: a one-shot waitable timer, armed anew after
// each take for the next deadline, and the deadlines whole periods after the
// start on the performance counter, so that neither a late take nor the
// timer's own rounding moves the ones after it. The timer is a high
// resolution one where Windows has those (Windows 10 1803 and later);
// elsewhere it fires at the first system tick after its due time, which
// delays a tick, but never the next.

#include "core/life/tick_timer_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "common/failure.h"
#include "common/windows_text.h"

namespace quorvane {

namespace {

// Not in the headers for Windows 7; older systems refuse it as an invalid
// parameter, and then get the usual timer.
constexpr DWORD kHighResolution = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr long long kNanosecondsPerSecond = 1'000'000'000;

[[noreturn]] void Fail(const std::string& doing) {
  throw Failure("cannot " + doing + " the poll timer: " + win32::LastSystemErrorText());
}

long long Counter() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// a * b / c without overflow for the spans a timer meets (c up to 1e9).
long long MulDiv64(long long a, long long b, long long c) { return a / c * b + a % c * b / c; }

}  // namespace

struct TickTimer::Handle {
  HANDLE timer = nullptr;
  long long frequency = 0;  // counts a second
  long long start = 0;      // the counter when started
  std::uint64_t next = 0;   // the number of the next deadline, from 1
};

TickTimer::TickTimer(std::chrono::nanoseconds period) : period_(period) {}

TickTimer::~TickTimer() {
  if (handle_) CloseHandle(handle_->timer);
}

namespace {

// The counter at deadline `number`: that many whole periods after `start`.
long long Deadline(const TickTimer::Handle& handle, std::chrono::nanoseconds period, std::uint64_t number) {
  const long long nanoseconds = static_cast<long long>(number) * period.count();
  return handle.start + MulDiv64(nanoseconds, handle.frequency, kNanosecondsPerSecond);
}

// One expiry at the next deadline, due relative to now: a relative due time
// runs on the system's steady clock, which a change of the wall clock does
// not move.
void Arm(const TickTimer::Handle& handle, std::chrono::nanoseconds period) {
  const long long left = std::max(Deadline(handle, period, handle.next) - Counter(), 0LL);
  LARGE_INTEGER due{};
  due.QuadPart = -std::max(MulDiv64(left, 10'000'000, handle.frequency), 1LL);  // in 100 ns
  if (!SetWaitableTimer(handle.timer, &due, 0, nullptr, nullptr, FALSE)) Fail("arm");
}

}  // namespace

void TickTimer::Start() {
  if (!handle_) {
    auto handle = std::make_unique<Handle>();
    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency)) Fail("read the clock of");
    handle->frequency = frequency.QuadPart;
    // A manual-reset timer: it stays signalled, whoever waits for it, until
    // the take that counts it arms it again; so a message loop may wait for
    // it and leave the counting to the take.
    constexpr DWORD kManualReset = CREATE_WAITABLE_TIMER_MANUAL_RESET;
    handle->timer =
        CreateWaitableTimerExW(nullptr, nullptr, kManualReset | kHighResolution, TIMER_ALL_ACCESS);
    if (!handle->timer)
      handle->timer = CreateWaitableTimerExW(nullptr, nullptr, kManualReset, TIMER_ALL_ACCESS);
    if (!handle->timer) Fail("make");
    handle_ = std::move(handle);
  }
  handle_->start = Counter();
  handle_->next = 1;
  Arm(*handle_, period_);
  running_ = true;
}

void TickTimer::Stop() noexcept {
  running_ = false;
  if (!handle_) return;
  // Cancelling leaves a signalled timer signalled; nobody waits for a
  // stopped one (WaitHandle), and the next start arms it anew, which clears
  // that.
  if (!CancelWaitableTimer(handle_->timer)) {
    CloseHandle(handle_->timer);
    handle_.reset();
  }
}

std::uint64_t TickTimer::TakeExpirations() {
  if (!running_ || !handle_) return 0;
  const DWORD result = WaitForSingleObject(handle_->timer, 0);
  if (result == WAIT_TIMEOUT) return 0;
  if (result != WAIT_OBJECT_0) Fail("read");
  Handle& handle = *handle_;
  const long long now = Counter();
  // Fired before its deadline by the counter's reckoning (the two clocks
  // may differ a little): armed again for the rest.
  if (now < Deadline(handle, period_, handle.next)) {
    Arm(handle, period_);
    return 0;
  }
  // Every deadline up to now counts; the next is the first still ahead.
  std::uint64_t last = handle.next;
  const long long elapsed = MulDiv64(now - handle.start, kNanosecondsPerSecond, handle.frequency);
  last = std::max<std::uint64_t>(last, static_cast<std::uint64_t>(elapsed / period_.count()));
  while (Deadline(handle, period_, last + 1) <= now) ++last;
  while (last > handle.next && Deadline(handle, period_, last) > now) --last;
  const std::uint64_t expirations = last - handle.next + 1;
  handle.next = last + 1;
  Arm(handle, period_);
  return expirations;
}

std::uint64_t TickTimer::WaitForExpirations() {
  while (running_ && handle_) {
    if (WaitForSingleObject(handle_->timer, INFINITE) == WAIT_FAILED) Fail("wait for");
    if (const std::uint64_t expirations = TakeExpirations()) return expirations;
  }
  return 0;
}

void* WaitHandle(const TickTimer& timer) {
  const TickTimer::Handle* handle = timer.SystemHandle();
  return timer.Running() && handle ? handle->timer : nullptr;
}

}  // namespace quorvane
