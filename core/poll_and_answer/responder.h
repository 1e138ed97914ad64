#pragma once

#include <cstdint>

#include "common/clock.h"
#include "common/sleeper.h"
#include "core/poll_and_answer/answer_priority.h"
#include "core/status_window/status_display.h"  // and the status texts
#include "port/port_io.h"
#include "port/port_map.h"

namespace quorvane {

// The once-a-second poll of the request line and the answer to it.
//
// Everything runs on the window's one thread and blocks it: an answer takes
// about three seconds, during which the caller's event loop is not serviced.
// The request is level-triggered: every poll that finds the line raised runs
// a whole new answer. The thread sleeps through most of each step and
// spins on the clock only for its last stretch, in the class `priority`
// raises it to for the answer.
class Responder {
 public:
  // Everything is kept by reference and must outlive the responder;
  // `portBase` is the port's first register.
  Responder(PortIo& port, StatusDisplay& display, const Clock& clock, Sleeper& sleeper,
            AnswerPriority& priority, std::int16_t portBase = port_map::kBase);

  // The tick handler of the poll timer: one poll.
  void OnPollTick();

  // Reads the status register, notes whether the request line is raised,
  // shows "Waiting for Request..." and answers when the line is raised.
  void PollRequestLine();

  // One whole answer: plays answer_pattern::kSteps, the answer line going
  // 0, 1, 0, 1 one second apart and ending at 1, the idle level. Each write
  // is due at its offset from the first write, so the time a write takes
  // does not lengthen the steps after it.
  void SendAnswer();

  // Blocks until the next step of the running answer is due, one second
  // after the step before was due, on the monotonic clock, without handing
  // control back to any event loop: sleeps until the sleeper's wake-up
  // margin before the due time, then reads the clock until it is reached.
  void WaitUntilDue();

  // Whether the last poll found the request line raised.
  bool LastPollSawRequest() const { return requestSeen_; }

 private:
  PortIo& port_;
  StatusDisplay& display_;
  const Clock& clock_;
  Sleeper& sleeper_;
  AnswerPriority& priority_;
  const std::int16_t portBase_;
  bool requestSeen_ = false;
  // When the next write of the running answer is due, in monotonic ns.
  std::int64_t stepDueNs_ = 0;
};

}  // namespace quorvane
