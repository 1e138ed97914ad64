#include "responder/responder.h"

#include "common/clock_text.h"
#include "port/port_map.h"
#include "responder/status_texts.h"

namespace quorvane {

namespace {

constexpr std::int64_t kOneSecondNs = 1'000'000'000;

}  // namespace

Responder::Responder(FormVariables& variables, PortIo& port, StatusDisplay& display,
                     const Clock& clock)
    : variables_(variables), port_(port), display_(display), clock_(clock) {}

void Responder::Timer1_Timer() { CheckForSignal(); }

void Responder::CheckForSignal() {
  const std::int16_t status = port_.Inp32(variables_.PortBase + port_map::kStatusOffset);
  // Only the request bit counts; the quotient is exactly 0 or 1.
  variables_.RequestFlag =
      static_cast<std::int16_t>((status & port_map::kRequestMask) / port_map::kRequestMask);
  display_.SetStatusLine(status_texts::kWaitingForRequest);
  if (variables_.RequestFlag != 0) SendSequence();
}

void Responder::SendSequence() {
  const std::int16_t control = variables_.PortBase + port_map::kControlOffset;
  display_.SetStatusLine(status_texts::kSendingSequence);
  display_.SetLastRequestText(TimeText(clock_.Local()));
  port_.Out32(control, port_map::kAnswerActive);
  Delay1sec();
  port_.Out32(control, port_map::kAnswerIdle);
  Delay1sec();
  port_.Out32(control, port_map::kAnswerActive);
  Delay1sec();
  port_.Out32(control, port_map::kAnswerIdle);
}

void Responder::Delay1sec() {
  // The monotonic clock never steps back, so midnight or a clock set back
  // cannot stretch the wait; it ends at the first reading a second or more on.
  const std::int64_t start = clock_.MonotonicNanoseconds();
  while (clock_.MonotonicNanoseconds() - start < kOneSecondNs) {
  }
}

}  // namespace quorvane
