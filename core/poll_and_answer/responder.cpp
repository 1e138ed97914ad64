#include "core/poll_and_answer/responder.h"

#include "common/clock_text.h"
#include "port/answer_pattern.h"
#include "port/port_map.h"

namespace quorvane {

namespace {

// One answer's span: the thread raised and the sleeps made precise from
// before the first reading of the clock to after the last write, and put
// back even when a write fails.
class AnswerSpan {
 public:
  AnswerSpan(Sleeper& sleeper, AnswerPriority& priority) : sleeper_(sleeper), priority_(priority) {
    sleeper_.BeginPreciseSleeps();
    // A refusal leaves the answer in the thread's own class; whoever
    // supplied the priority tells of it.
    priority_.Raise();
  }
  ~AnswerSpan() {
    priority_.Restore();
    sleeper_.EndPreciseSleeps();
  }
  AnswerSpan(const AnswerSpan&) = delete;
  AnswerSpan& operator=(const AnswerSpan&) = delete;

 private:
  Sleeper& sleeper_;
  AnswerPriority& priority_;
};

}  // namespace

Responder::Responder(PortIo& port, StatusDisplay& display, const Clock& clock, Sleeper& sleeper,
                     AnswerPriority& priority, std::int16_t portBase)
    : port_(port),
      display_(display),
      clock_(clock),
      sleeper_(sleeper),
      priority_(priority),
      portBase_(portBase) {}

void Responder::OnPollTick() { PollRequestLine(); }

void Responder::PollRequestLine() {
  const std::int16_t status = port_.Inp32(static_cast<std::int16_t>(portBase_ + port_map::kStatusOffset));
  // Only the request bit counts; the other status lines are ignored.
  requestSeen_ = (status & port_map::kRequestMask) != 0;
  display_.SetStatusLine(status_texts::kWaitingForRequest);
  if (requestSeen_) SendAnswer();
}

void Responder::SendAnswer() {
  const auto control = static_cast<std::int16_t>(portBase_ + port_map::kControlOffset);
  display_.SetStatusLine(status_texts::kSendingSequence);
  display_.SetLastRequestText(TimeText(clock_.Local()));
  const AnswerSpan span(sleeper_, priority_);
  // Every due time is counted from this one reading, never from the end of
  // the work after a write: a slow library call cannot make the answer drift.
  const std::int64_t startNs = clock_.MonotonicNanoseconds();
  for (const answer_pattern::Step& step : answer_pattern::kSteps) {
    stepDueNs_ = startNs + step.offsetNs;
    if (step.offsetNs > 0) WaitUntilDue();
    port_.Out32(control, step.value);
  }
}

void Responder::WaitUntilDue() {
  // The monotonic clock never steps back, so midnight or a clock set back
  // cannot stretch the wait; it ends at the first reading at or past the due
  // time. A write that took longer than a step finds it passed: the next
  // write goes at once, and the ones after it are back on time.
  //
  // A sleep alone would end late by the system's wake-up lateness; a spin
  // alone takes a whole core for the answer. So the wait sleeps to a margin
  // before the due time and spins only that last stretch, which bounds the
  // spin: however early a sleep ends, the wait sleeps again until then.
  const std::int64_t spinFromNs = stepDueNs_ - sleeper_.WakeUpMarginNs();
  for (std::int64_t nowNs = clock_.MonotonicNanoseconds(); nowNs < stepDueNs_;
       nowNs = clock_.MonotonicNanoseconds()) {
    if (nowNs < spinFromNs) sleeper_.SleepUntil(spinFromNs);
  }
}

}  // namespace quorvane
