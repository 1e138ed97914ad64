#pragma once

// The text front end's one wait: for the poll timer, or for a request to stop the
// program (on Linux SIGTERM, SIGINT and SIGHUP; Windows has no such
// request for it). One file per system gives the wait.

#include <cstdint>
#include <memory>

#include "core/life/tick_timer.h"

namespace quorvane {

class ConsoleWait {
 public:
  // What woke the loop: a stop asked for, or the poll timer's periods that came
  // due (0 when only a signal's interruption did).
  struct Wake {
    bool stop = false;
    std::uint64_t ticks = 0;
  };

  // Throws Failure when the stop requests cannot be watched.
  explicit ConsoleWait(TickTimer& timer1);
  ~ConsoleWait();
  ConsoleWait(const ConsoleWait&) = delete;
  ConsoleWait& operator=(const ConsoleWait&) = delete;

  // Sleeps until the poll timer is due or a stop is asked for. Throws Failure.
  Wake Next();

 private:
  struct Watch;
  TickTimer& pollTimer_;
  std::unique_ptr<Watch> watch_;
};

}  // namespace quorvane
