// Timer1's clock on Windows, for the text front end: a periodic waitable
// timer. It keeps its own phase; it does not count the periods that came
// due while nobody waited, so a take says 1 for any number of them, which is
// all a tick needs.

#include <windows.h>

#include <string>

#include "common/failure.h"
#include "common/windows_text.h"
#include "window/tick_timer.h"

namespace quorvane {

struct TickTimer::Handle {
  HANDLE timer;
};

namespace {

[[noreturn]] void Fail(const std::string& doing) {
  throw Failure("cannot " + doing + " Timer1's timer: " + win32::LastSystemErrorText());
}

}  // namespace

TickTimer::TickTimer(std::chrono::nanoseconds period) : period_(period) {}

TickTimer::~TickTimer() {
  if (handle_) CloseHandle(handle_->timer);
}

void TickTimer::Start() {
  if (!handle_) {
    // A synchronisation timer: a wait that sees it signalled also resets it.
    HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    if (!timer) Fail("make");
    handle_ = std::make_unique<Handle>(Handle{timer});
  }
  LARGE_INTEGER firstDue{};
  firstDue.QuadPart = -static_cast<LONGLONG>(period_.count() / 100);  // relative, in 100 ns
  const auto periodMs = static_cast<LONG>(std::chrono::duration_cast<std::chrono::milliseconds>(period_).count());
  if (!SetWaitableTimer(handle_->timer, &firstDue, periodMs, nullptr, nullptr, FALSE)) Fail("arm");
  running_ = true;
}

void TickTimer::Stop() noexcept {
  running_ = false;
  if (!handle_) return;
  // Cancelling leaves a signalled timer signalled: take that too.
  if (!CancelWaitableTimer(handle_->timer)) {
    CloseHandle(handle_->timer);
    handle_.reset();
    return;
  }
  WaitForSingleObject(handle_->timer, 0);
}

std::uint64_t TickTimer::TakeExpirations() {
  if (!running_ || !handle_) return 0;
  const DWORD result = WaitForSingleObject(handle_->timer, 0);
  if (result == WAIT_OBJECT_0) return 1;
  if (result == WAIT_TIMEOUT) return 0;
  Fail("read");
}

std::uint64_t TickTimer::WaitForExpirations() {
  if (!running_ || !handle_) return 0;
  if (WaitForSingleObject(handle_->timer, INFINITE) != WAIT_OBJECT_0) Fail("wait for");
  return 1;
}

}  // namespace quorvane
