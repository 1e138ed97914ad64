#pragma once

// The one fake port of the tests: status reads from a script (or one fixed
// byte), every access recorded with its times, hooks that let a test act in
// the middle of an answer, and failures injected at a chosen call. Builds
// for Windows too (the core's tests run under Wine).

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/failure.h"
#include "fakes.h"
#include "port/port_io.h"
#include "port/port_map.h"

namespace quorvane::testing {

// The machine's steady clock in milliseconds, as a fake port stamps accesses.
inline std::int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

class FakePort final : public PortIo {
 public:
  // What an injected failure says, as a lost driver would.
  static constexpr char kReadFailure[] = "the status register cannot be read";
  static constexpr char kWriteFailure[] = "the control register cannot be written";

  // Records into a journal of its own.
  FakePort() : journal_(own_) {}
  // Records into `journal`, which a FakeDisplay may share so that the order
  // across both shows; `clock` stamps each access with its monotonic time.
  explicit FakePort(std::vector<Event>& journal, const FakeClock* clock = nullptr)
      : journal_(journal), clock_(clock) {}
  FakePort(const FakePort&) = delete;
  FakePort& operator=(const FakePort&) = delete;

  // The port it stands for: the one at 888 unless a test chooses another;
  // choiceFailure set, the choice fails with it, as a machine with no port to
  // take would.
  ChosenPort ChoosePort() override {
    ++choices_;
    if (!choiceFailure.empty()) throw Failure(choiceFailure);
    return chosen;
  }
  long ChoiceCount() const { return choices_; }

  // A read takes the next scripted status byte, or `status` once the script
  // is used up. It is recorded, then fails if told to, then runs onRead.
  std::int16_t Inp32(std::int16_t port) override {
    std::int16_t value = status;
    if (const auto kept = registers.find(port); kept != registers.end()) {
      value = kept->second;
    } else if (!script.empty()) {
      value = script.front();
      script.pop_front();
    }
    Record(Event::kRead, port, value);
    if (readFailure_.Covers(++reads_)) throw Failure(kReadFailure);
    if (onRead) onRead();
    return value;
  }
  // A write is recorded, then fails if told to, then runs onWrite.
  void Out32(std::int16_t port, std::int16_t value) override {
    Record(Event::kWrite, port, value);
    if (writeFailure_.Covers(++writes_)) throw Failure(kWriteFailure);
    if (onWrite) onWrite();
  }

  // The request line raised for the next `polls` reads, low after them.
  void RaiseRequestFor(int polls) {
    for (int i = 0; i < polls; ++i) script.push_back(port_map::kRequestMask);
  }

  // Failures, counted from this call: the nth read (write) from now and
  // every one after it, or only the nth.
  void FailReadsFrom(long nth = 1) { readFailure_ = {reads_ + nth, 0}; }
  void FailOnlyRead(long nth) { readFailure_ = {reads_ + nth, reads_ + nth}; }
  void FailWritesFrom(long nth = 1) { writeFailure_ = {writes_ + nth, 0}; }
  void FailOnlyWrite(long nth) { writeFailure_ = {writes_ + nth, writes_ + nth}; }
  // Every access from now on, as with no port at all.
  void FailEverything() {
    FailReadsFrom();
    FailWritesFrom();
  }

  long ReadCount() const { return reads_; }
  long WriteCount() const { return writes_; }

  // The recorded accesses of one kind, oldest first (from the journal, so a
  // test that clears a shared journal starts these afresh too).
  std::vector<Event> Reads() const { return Of(Event::kRead); }
  std::vector<Event> Writes() const { return Of(Event::kWrite); }
  std::vector<std::int16_t> WrittenValues() const {
    std::vector<std::int16_t> values;
    for (const Event& write : Writes()) values.push_back(write.value);
    return values;
  }
  std::vector<std::int64_t> ReadTimesMs() const { return TimesMs(Event::kRead); }
  std::vector<std::int64_t> WriteTimesMs() const { return TimesMs(Event::kWrite); }

  std::int16_t status = 0;
  // Ports that read as a register of their own (a control register a test
  // keeps), neither scripted nor the status byte.
  std::map<std::int16_t, std::int16_t> registers;
  ChosenPort chosen;
  std::string choiceFailure;
  std::deque<std::int16_t> script;
  std::function<void()> onRead, onWrite;
  // Runs as each access is recorded, before any failure or hook: a test's
  // own record of everything in order.
  std::function<void(const Event&)> onAccess;

 private:
  // Calls first..last fail (last 0: every call from first on); first 0: none.
  struct CallFailure {
    long first = 0, last = 0;
    bool Covers(long call) const { return first > 0 && call >= first && (last == 0 || call <= last); }
  };

  void Record(Event::Kind kind, std::int16_t port, std::int16_t value) {
    journal_.push_back({kind, port, value, {}, clock_ ? clock_->Now() : 0, SteadyMs()});
    if (onAccess) onAccess(journal_.back());
  }
  std::vector<Event> Of(Event::Kind kind) const {
    std::vector<Event> found;
    for (const Event& event : journal_)
      if (event.kind == kind) found.push_back(event);
    return found;
  }
  std::vector<std::int64_t> TimesMs(Event::Kind kind) const {
    std::vector<std::int64_t> times;
    for (const Event& event : Of(kind)) times.push_back(event.steadyMs);
    return times;
  }

  std::vector<Event> own_;
  std::vector<Event>& journal_;
  const FakeClock* clock_ = nullptr;
  long reads_ = 0, writes_ = 0, choices_ = 0;
  CallFailure readFailure_, writeFailure_;
};

}  // namespace quorvane::testing
