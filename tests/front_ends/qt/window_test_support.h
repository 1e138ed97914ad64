#pragma once

// Helpers for driving the window in tests on Qt's offscreen platform.

#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>

namespace quorvane::testing {

// Services the event loop until `done` holds or `timeoutMs` has passed.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace quorvane::testing
