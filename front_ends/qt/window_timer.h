#pragma once

#include <chrono>
#include <string>

#include <QObject>

#include "core/life/tick_timer.h"

class QSocketNotifier;

namespace quorvane {

// The poll timer on the window's thread: the tick timer's expiries come through the
// event loop, one `timeout` for each time the loop finds any due, however
// many came due while it was kept away. Nothing is delivered before the loop
// runs, nor while a handler holds it; the phase stays the tick timer's.
class WindowTimer final : public QObject {
  Q_OBJECT

 public:
  WindowTimer(std::chrono::nanoseconds period, QObject* parent);
  ~WindowTimer() override;
  Q_DISABLE_COPY_MOVE(WindowTimer)

  // Throws Failure when the system's timer cannot be made or armed.
  void start();
  void stop();
  bool isActive() const { return clock_.Running(); }
  std::chrono::nanoseconds interval() const { return clock_.Period(); }

 signals:
  void timeout();
  // The due periods could not be taken; the timer has stopped.
  void failed(const std::string& message);

 private:
  void TakeDue();

  TickTimer clock_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace quorvane
