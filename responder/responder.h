#pragma once

#include <cstdint>

#include "common/clock.h"
#include "common/form_variables.h"
#include "common/status_display.h"  // and the status texts
#include "port/port_io.h"

namespace quorvane {

// The once-a-second poll of the request line and the answer to it.
//
// Everything runs on the window's one thread and blocks it: an answer takes
// about three seconds, during which the caller's event loop is not serviced.
// The request is level-triggered: every poll that finds the line raised runs
// a whole new answer.
class Responder {
 public:
  // All four are kept by reference and must outlive the responder.
  Responder(FormVariables& variables, PortIo& port, StatusDisplay& display, const Clock& clock);

  // The tick handler of Timer1: one poll.
  void Timer1_Timer();

  // Reads the status register, records the request line in RequestFlag,
  // shows "Waiting for Request..." and answers when the line is raised.
  void CheckForSignal();

  // One whole answer: plays answer_pattern::kSteps, the answer line going
  // 0, 1, 0, 1 one second apart and ending at 1, the idle level. Each write
  // is due at its offset from the first write, so the time a write takes
  // does not lengthen the steps after it.
  void SendSequence();

  // Busy-waits until the next step of the running answer is due, one second
  // after the step before was due, on the monotonic clock: without sleeping
  // and without handing control back to any event loop.
  void Delay1sec();

 private:
  FormVariables& variables_;
  PortIo& port_;
  StatusDisplay& display_;
  const Clock& clock_;
  // When the next write of the running answer is due, in monotonic ns.
  std::int64_t stepDueNs_ = 0;
};

}  // namespace quorvane
