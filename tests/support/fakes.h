#pragma once

// Fakes of the core's clock, sleeper, answer priority and status display,
// shared by the unit tests; the fake port is in fake_port.h.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/sleeper.h"
#include "core/poll_and_answer/answer_priority.h"
#include "core/status_window/status_display.h"

namespace quorvane::testing {

// One call on the fake port or display, in the order it happened.
struct Event {
  enum Kind { kRead, kWrite, kStatusLine, kLastRestart, kLastRequest, kRaise, kRestore } kind;
  std::int16_t port = 0;
  std::int16_t value = 0;
  std::string text;
  std::int64_t atNs = 0;      // the fake clock's monotonic time when it happened
  std::int64_t steadyMs = 0;  // the machine's steady clock then, for tests in real time (ports only)
};

// A clock that moves only when read: every reading of the monotonic time
// advances it by `stepNs`, so busy waits end after a known number of reads.
// `onMonotonicRead` lets a test change the local time as the wait runs.
class FakeClock final : public Clock {
 public:
  LocalTime Local() const override { return local; }
  std::int64_t MonotonicNanoseconds() const override {
    ++monotonicReads;
    const std::int64_t now = monotonicNs;
    monotonicNs += stepNs;
    if (onMonotonicRead) onMonotonicRead(now);
    return now;
  }
  std::int64_t Now() const { return monotonicNs; }

  LocalTime local{2026, 12, 8, 9, 30, 15, 0};
  mutable std::int64_t monotonicNs = 5'000'000'000;
  std::int64_t stepNs = 1'000'000;  // 1 ms a reading
  mutable long monotonicReads = 0;
  std::function<void(std::int64_t)> onMonotonicRead;
};

// A sleeper on the fake clock: a sleep moves the clock to its deadline plus
// `latenessNs` (one already passed leaves it), and is recorded with the
// time it began, so a test sees each sleep and where it ended.
class FakeSleeper final : public Sleeper {
 public:
  explicit FakeSleeper(FakeClock& clock) : clock_(clock) {}
  void SleepUntil(std::int64_t deadlineNs) override {
    sleeps.push_back({clock_.Now(), deadlineNs});
    if (clock_.monotonicNs < deadlineNs) clock_.monotonicNs = deadlineNs + latenessNs;
  }
  std::int64_t WakeUpMarginNs() const override { return marginNs; }
  void BeginPreciseSleeps() override { ++spansBegun; }
  void EndPreciseSleeps() override { ++spansEnded; }

  struct Sleep {
    std::int64_t fromNs, untilNs;
  };
  std::vector<Sleep> sleeps;
  std::int64_t marginNs = 5'000'000;
  std::int64_t latenessNs = 0;
  int spansBegun = 0, spansEnded = 0;

 private:
  FakeClock& clock_;
};

// An answer priority that grants, or refuses with `refusal`; each call goes
// into `events` when given, at the fake clock's time.
class FakePriority final : public AnswerPriority {
 public:
  explicit FakePriority(std::vector<Event>* events = nullptr, const FakeClock* clock = nullptr)
      : events_(events), clock_(clock) {}
  std::string Raise() override {
    Record(Event::kRaise);
    raisedNow = refusal.empty();
    return refusal;
  }
  void Restore() override {
    Record(Event::kRestore);
    raisedNow = false;
  }
  std::string refusal;
  bool raisedNow = false;

 private:
  void Record(Event::Kind kind) {
    if (events_) events_->push_back({kind, 0, 0, "", clock_ ? clock_->Now() : 0});
  }
  std::vector<Event>* events_;
  const FakeClock* clock_;
};

class FakeDisplay final : public StatusDisplay {
 public:
  explicit FakeDisplay(std::vector<Event>& events, const FakeClock* clock = nullptr)
      : events_(events), clock_(clock) {}
  void SetStatusLine(const std::string& text) override { Record(Event::kStatusLine, statusLine = text); }
  void SetLastRestartText(const std::string& text) override {
    Record(Event::kLastRestart, lastRestart = text);
  }
  void SetLastRequestText(const std::string& text) override {
    Record(Event::kLastRequest, lastRequest = text);
  }
  std::string statusLine, lastRestart, lastRequest;

 private:
  void Record(Event::Kind kind, const std::string& text) {
    events_.push_back({kind, 0, 0, text, clock_ ? clock_->Now() : 0});
  }
  std::vector<Event>& events_;
  const FakeClock* clock_;
};

}  // namespace quorvane::testing
