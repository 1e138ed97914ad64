// the poll timerfd watched by the window's event loop: a socket notifier on
// its descriptor wakes the loop when a period has come due.

#include <QSocketNotifier>

#include "common/failure.h"
#include "core/life/tick_timer_posix.h"
#include "front_ends/qt/window_timer.h"

namespace quorvane {

WindowTimer::WindowTimer(std::chrono::nanoseconds period, QObject* parent)
    : QObject(parent), clock_(period) {}

WindowTimer::~WindowTimer() = default;

void WindowTimer::start() {
  clock_.Start();
  const int descriptor = WaitDescriptor(clock_);
  // The descriptor is new after the first start, or after a stop that had
  // to close it.
  if (!notifier_ || notifier_->socket() != descriptor) {
    delete notifier_;
    notifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &WindowTimer::TakeDue);
  }
  notifier_->setEnabled(true);
}

void WindowTimer::stop() {
  if (notifier_) notifier_->setEnabled(false);
  clock_.Stop();
}

void WindowTimer::TakeDue() {
  std::uint64_t due = 0;
  try {
    due = clock_.TakeExpirations();
  } catch (const Failure& failure) {
    stop();
    emit failed(failure.what());
    return;
  }
  // One tick for all of them: missed ticks are not made up.
  if (due > 0) emit timeout();
}

}  // namespace quorvane
