#include "responder/responder.h"

#include "common/clock_text.h"
#include "port/answer_pattern.h"
#include "port/port_map.h"

namespace quorvane {

Responder::Responder(FormVariables& variables, PortIo& port, StatusDisplay& display, const Clock& clock)
    : variables_(variables), port_(port), display_(display), clock_(clock) {}

void Responder::Timer1_Timer() { CheckForSignal(); }

void Responder::CheckForSignal() {
  const std::int16_t status =
      port_.Inp32(static_cast<std::int16_t>(variables_.PortBase + port_map::kStatusOffset));
  // Only the request bit counts; the quotient is exactly 0 or 1.
  variables_.RequestFlag =
      static_cast<std::int16_t>((status & port_map::kRequestMask) / port_map::kRequestMask);
  display_.SetStatusLine(status_texts::kWaitingForRequest);
  if (variables_.RequestFlag != 0) SendSequence();
}

void Responder::SendSequence() {
  const auto control = static_cast<std::int16_t>(variables_.PortBase + port_map::kControlOffset);
  display_.SetStatusLine(status_texts::kSendingSequence);
  display_.SetLastRequestText(TimeText(clock_.Local()));
  // Every due time is counted from this one reading, never from the end of
  // the work after a write: a slow library call cannot make the answer drift.
  const std::int64_t startNs = clock_.MonotonicNanoseconds();
  for (const answer_pattern::Step& step : answer_pattern::kSteps) {
    stepDueNs_ = startNs + step.offsetNs;
    if (step.offsetNs > 0) Delay1sec();
    port_.Out32(control, step.value);
  }
}

void Responder::Delay1sec() {
  // The monotonic clock never steps back, so midnight or a clock set back
  // cannot stretch the wait; it ends at the first reading at or past the due
  // time. A write that took longer than a step finds it passed: the next
  // write goes at once, and the ones after it are back on time.
  while (clock_.MonotonicNanoseconds() < stepDueNs_) {
  }
}

}  // namespace quorvane
