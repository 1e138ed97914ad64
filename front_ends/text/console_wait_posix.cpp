#include "front_ends/text/console_wait.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/failure.h"
#include "core/life/stop_signals_posix.h"
#include "core/life/tick_timer_posix.h"

namespace quorvane {

struct ConsoleWait::Watch {
  StopSignals stop;
};

ConsoleWait::ConsoleWait(TickTimer& timer1) : pollTimer_(timer1), watch_(std::make_unique<Watch>()) {}
ConsoleWait::~ConsoleWait() = default;

ConsoleWait::Wake ConsoleWait::Next() {
  pollfd due[2] = {{watch_->stop.Descriptor(), POLLIN, 0}, {WaitDescriptor(pollTimer_), POLLIN, 0}};
  if (::poll(due, 2, -1) < 0) {
    if (errno == EINTR) return {};  // a signal only wakes us; its pipe says which
    throw Failure(std::string("cannot wait for the poll timer: ") + std::strerror(errno));
  }
  // A stop that came during an answer is seen here, after it.
  if (watch_->stop.Take()) return {true, 0};
  return {false, pollTimer_.TakeExpirations()};
}

}  // namespace quorvane
