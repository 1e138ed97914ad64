#pragma once

// Linux only: SIGTERM, SIGINT and SIGHUP (a service stopped, Ctrl-C, the
// end of a session or of its terminal) asked of the program as a window
// close. An answer runs inside the tick handler, on the window's one thread,
// so a signal is only noted, on a pipe that the event loop watches, and the
// program ends when the loop runs again: never inside an answer, which
// always ends whole, at the idle level.

namespace quorvane {

class StopSignals {
 public:
  // Installs the handlers (SA_RESTART: a call the signal lands in goes on).
  // Only one at a time. Throws Failure naming the system's reason.
  StopSignals();
  // Gives the three signals their default actions again.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Readable once a stop signal has come, until Take().
  int Descriptor() const;
  // Whether one came since the last take; never waits.
  bool Take();
};

}  // namespace quorvane
