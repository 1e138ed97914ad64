// The poll timer's clock on Linux: a timerfd on CLOCK_MONOTONIC armed with absolute
// deadlines. The toolkits' own timers wait for a poll timeout in whole
// milliseconds, to which the kernel adds its timer slack (about 1 ms on a
// one-second wait); a timerfd's expiry has neither, so each tick is due
// within microseconds of its whole second.

#include <poll.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/failure.h"
#include "core/life/tick_timer_posix.h"

namespace quorvane {

struct TickTimer::Handle {
  int descriptor;
};

namespace {

std::string Reason(int error) { return std::strerror(error); }

[[noreturn]] void Fail(const std::string& doing, int error) {
  throw Failure("cannot " + doing + " the poll timer: " + Reason(error));
}

timespec ToTimespec(std::chrono::nanoseconds span) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
  return {static_cast<time_t>(seconds.count()), static_cast<long>((span - seconds).count())};
}

timespec Plus(timespec time, std::chrono::nanoseconds span) {
  const timespec add = ToTimespec(span);
  time.tv_sec += add.tv_sec;
  time.tv_nsec += add.tv_nsec;
  if (time.tv_nsec >= 1'000'000'000) {
    time.tv_nsec -= 1'000'000'000;
    ++time.tv_sec;
  }
  return time;
}

}  // namespace

TickTimer::TickTimer(std::chrono::nanoseconds period) : period_(period) {}

TickTimer::~TickTimer() {
  if (handle_) ::close(handle_->descriptor);
}

void TickTimer::Start() {
  if (!handle_) {
    const int descriptor = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (descriptor < 0) Fail("make", errno);
    handle_ = std::make_unique<Handle>(Handle{descriptor});
  }
  // Absolute deadlines: the first one period after now, each later one a
  // whole period after the one before, however late a take comes.
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  itimerspec deadlines{};
  deadlines.it_interval = ToTimespec(period_);
  deadlines.it_value = Plus(now, period_);
  if (::timerfd_settime(handle_->descriptor, TFD_TIMER_ABSTIME, &deadlines, nullptr) != 0) Fail("arm", errno);
  running_ = true;
}

void TickTimer::Stop() noexcept {
  running_ = false;
  if (!handle_) return;
  // Disarming also drops the expirations not yet read.
  const itimerspec disarmed{};
  if (::timerfd_settime(handle_->descriptor, 0, &disarmed, nullptr) != 0) {
    ::close(handle_->descriptor);
    handle_.reset();
  }
}

std::uint64_t TickTimer::TakeExpirations() {
  if (!running_ || !handle_) return 0;
  std::uint64_t expirations = 0;
  const ssize_t got = ::read(handle_->descriptor, &expirations, sizeof expirations);
  if (got == static_cast<ssize_t>(sizeof expirations)) return expirations;
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;  // nothing due yet
  if (got < 0) Fail("read", errno);
  throw Failure("cannot read the poll timer: it gave " + std::to_string(got) + " bytes instead of " +
                std::to_string(sizeof expirations));
}

std::uint64_t TickTimer::WaitForExpirations() {
  while (running_ && handle_) {
    pollfd due{handle_->descriptor, POLLIN, 0};
    if (::poll(&due, 1, -1) < 0) {
      // A signal (or a stop and continue from the shell) only wakes us.
      if (errno == EINTR) continue;
      Fail("wait for", errno);
    }
    if (const std::uint64_t expirations = TakeExpirations()) return expirations;
  }
  return 0;
}

int WaitDescriptor(const TickTimer& timer) {
  const TickTimer::Handle* handle = timer.SystemHandle();
  return handle ? handle->descriptor : -1;
}

}  // namespace quorvane
