#pragma once

// Judges the program's answers from the port accesses it makes and the
// changes of the request line, all with monotonic timestamps in ns. Knows
// nothing of processes or files: the supervisor feeds it, and so do tests.
//
// The program polls (reads the status register) only between answers, so a
// poll is where the checker knows the answer line is idle.
//
// An answer is the writes of answer_pattern::kSteps to the control register,
// 0, 1, 0, 1, each step one second after the one before (within the
// tolerance). It starts with a write of 0 while the answer line is idle. It is requested when the last
// status read before it saw the request line (bit 4) raised by a request;
// a read that saw a pulse meant to fall between two polls makes the answer
// unrequested, as does no read at all.
//
// Each raise of the request line opens a request. It is due from the raise,
// or from the end of the answer running then (the program cannot poll
// before); after an answer ends, a line still held raised opens the next
// request at once. A request is answered by the next answer that starts;
// it is late when that comes more than `late` after it was due, missing
// when nothing comes within `deadline`. A line dropped before a poll could
// have seen it (sooner than `late`) only may be answered, never must.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "port/answer_pattern.h"
#include "port_libraries/simulated/simulated_port_client.h"

namespace quorvane::supervisor {

using simport::Access;

struct CheckerSettings {
  std::uint64_t toleranceNs = 50'000'000;
  std::uint64_t lateNs = 1'200'000'000;
  std::uint64_t deadlineNs = 3'000'000'000;
  // Answers that start before this are followed, to know the line's state,
  // but neither reported nor counted (they began before the run).
  std::uint64_t countFromNs = 0;
};

enum class Verdict {
  kNote,         // no judgement: e.g. an answer started, the idle write
  kOk,           // a requested answer, well formed and in time
  kLate,         // well formed, but its first edge came late
  kMalformed,    // wrong value, order or spacing, a write too many, or cut short
  kUnrequested,  // an answer no poll saw a request for
  kMissing,      // a request not answered within the deadline
  kStray,        // a write to a port other than the control register, or of a value other than 0 or 1
  kUnfinished    // still running or awaited when the run ended
};

const char* VerdictName(Verdict verdict);  // "OK", "LATE" ...

struct Finding {
  std::uint64_t timeNs = 0;
  Verdict verdict = Verdict::kNote;
  std::string text;
};

// One answer as judged, with its times, from which a caller takes figures
// of its own (the benchmark's edge timing, a test's gap between answers).
struct JudgedAnswer {
  Verdict verdict = Verdict::kNote;     // kOk, kLate, kMalformed or kUnrequested
  std::optional<std::uint64_t> pollNs;  // the last poll before it, when one came since the answer before
  std::uint64_t writeNs[answer_pattern::kWrites]{};  // the first `writes` of them were seen
  int writes = 0;
};

struct Tally {
  int requests = 0;  // raises of the request line that call for an answer
  int pulses = 0;    // raises that must not be answered
  int answers = 0;   // answers judged: ok + late + malformed + unrequested
  int ok = 0, late = 0, malformed = 0, unrequested = 0;
  int missing = 0, strayWrites = 0, unfinished = 0;
  // |step - one second| for each step of every answer with the right values.
  std::vector<std::uint64_t> spacingErrorsNs;
  // Request to first edge, for requests raised while the program was idle.
  std::vector<std::uint64_t> latenciesNs;
  // Every answer counted, in order; a verdict changed later is changed here.
  std::vector<JudgedAnswer> judged;

  bool Failed() const { return late + malformed + unrequested + missing + strayWrites > 0; }
};

// What made a tally fail, e.g. "1 missing, 2 late"; empty when nothing did.
std::string Faults(const Tally& tally);

class AnswerChecker {
 public:
  explicit AnswerChecker(const CheckerSettings& settings) : settings_(settings) {}

  // The supervisor raised the request line: a request that must be answered,
  // or a pulse that must not. A raise while the line is up is ignored.
  void LineRaised(std::uint64_t timeNs, bool expectAnswer);
  void LineDropped(std::uint64_t timeNs);
  // The next port access the program made, in order.
  void Observe(const Access& access);
  // Time has reached nowNs with no access unread before it: judges what is
  // overdue.
  void Advance(std::uint64_t nowNs);
  // The run ends: what is still running or awaited is unfinished.
  void Finish(std::uint64_t nowNs);

  // Nothing running, no request that must still be answered, and the last
  // answer past the step in which an extra write would spoil it.
  bool Settled(std::uint64_t nowNs) const;
  bool AnswerRunning() const { return answer_.has_value(); }
  // The findings since the last call, in order.
  std::vector<Finding> TakeFindings();
  const Tally& Totals() const { return tally_; }

 private:
  struct Request {
    std::uint64_t raisedNs = 0;
    std::optional<std::uint64_t> dueNs;  // none while an answer runs
    bool fresh = false;                  // raised while idle: its latency counts
    bool optional = false;               // dropped before a poll could see it
  };
  struct Answer {
    std::uint64_t writeNs[answer_pattern::kWrites]{};
    int writes = 0;
    std::optional<std::uint64_t> pollNs;
    bool counted = false;    // started after countFromNs
    bool requested = false;  // a poll saw the request line raised by a request
    std::string unrequestedWhy;
    std::optional<std::uint64_t> latencyNs;  // when it answered a request
    bool afterRaise = false;                 // latencyNs counts from the raise, not from an earlier answer
    bool late = false;
    std::vector<std::string> problems;
  };
  struct LastAnswer {
    std::uint64_t endNs;
    Verdict verdict;
    bool counted;
  };

  void ObserveControlWrite(const Access& access);
  void StartAnswer(const Access& access);
  void EndAnswer(std::uint64_t timeNs);
  void Count(Verdict verdict, int delta);
  void Report(std::uint64_t timeNs, Verdict verdict, std::string text);
  double Seconds(std::uint64_t timeNs) const;  // since countFromNs, for texts

  CheckerSettings settings_;
  Tally tally_;
  std::vector<Finding> findings_;

  bool lineRaised_ = false;
  bool lineIsPulse_ = false;
  std::deque<Request> requests_;

  // The last status read: when, and whether it saw a raise meant to be answered.
  struct Poll {
    std::uint64_t timeNs;
    bool sawRequest;
    bool sawPulse;
  };
  std::optional<Poll> lastPoll_;

  std::optional<Answer> answer_;
  std::optional<LastAnswer> lastAnswer_;
  std::optional<std::uint8_t> level_;  // last value written to the control register
  // After an answer cut short, the rest of that sequence: up to the writes
  // it lacked, each within a step of the one before, belong to it and do
  // not start a new answer.
  int absorbWrites_ = 0;
  std::uint64_t absorbUntilNs_ = 0;
};

}  // namespace quorvane::supervisor
