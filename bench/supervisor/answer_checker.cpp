// The request line, the polls and the deadlines: which raise calls for an
// answer, when it is due, and when it is missing. The answers' own writes are
// followed in answer_writes.cpp.

#include "bench/supervisor/answer_checker.h"

#include "bench/supervisor/answer_checker_texts.h"
#include "port/answer_pattern.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::supervisor {

namespace {

using checker_texts::Hex;
using checker_texts::OfAllWrites;
constexpr std::uint64_t kStepNs = answer_pattern::kStepNs;

}  // namespace

double AnswerChecker::Seconds(std::uint64_t timeNs) const {
  return (static_cast<double>(timeNs) - static_cast<double>(settings_.countFromNs)) / 1e9;
}

void AnswerChecker::Report(std::uint64_t timeNs, Verdict verdict, std::string text) {
  findings_.push_back({timeNs, verdict, std::move(text)});
}

std::vector<Finding> AnswerChecker::TakeFindings() {
  std::vector<Finding> taken;
  taken.swap(findings_);
  return taken;
}

void AnswerChecker::Count(Verdict verdict, int delta) {
  switch (verdict) {
    case Verdict::kOk: tally_.ok += delta; break;
    case Verdict::kLate: tally_.late += delta; break;
    case Verdict::kMalformed: tally_.malformed += delta; break;
    case Verdict::kUnrequested: tally_.unrequested += delta; break;
    default: return;
  }
  tally_.answers += delta;
}

void AnswerChecker::LineRaised(std::uint64_t timeNs, bool expectAnswer) {
  if (lineRaised_) return;
  lineRaised_ = true;
  lineIsPulse_ = !expectAnswer;
  if (!expectAnswer) {
    ++tally_.pulses;
    return;
  }
  ++tally_.requests;
  // The program cannot poll while it answers, so the request is due from the
  // end of the running answer.
  if (answer_)
    requests_.push_back({timeNs, std::nullopt, false});
  else
    requests_.push_back({timeNs, timeNs, true});
}

void AnswerChecker::LineDropped(std::uint64_t timeNs) {
  if (!lineRaised_) return;
  lineRaised_ = false;
  for (Request& request : requests_) {
    // Up for less than a tick (or not yet due at all): no poll had to see it.
    if (!request.dueNs || timeNs < *request.dueNs + settings_.lateNs) request.optional = true;
  }
}

void AnswerChecker::Observe(const Access& access) {
  if (!access.write) {
    if (access.port == simport::kStatusPort) {
      // The program polls only between answers: one still open was cut short,
      // and no write after this belongs to an earlier one.
      if (answer_) {
        answer_->problems.push_back("a poll came after only " + std::to_string(answer_->writes) +
                                    OfAllWrites());
        EndAnswer(access.timeNs);
      }
      absorbWrites_ = 0;
      const bool raised = access.value & simport::kRequestBit;
      lastPoll_ = Poll{access.timeNs, raised && !lineIsPulse_, raised && lineIsPulse_};
    }
    return;  // reads change nothing on the port
  }
  if (access.port != simport::kControlPort) {
    if (access.timeNs >= settings_.countFromNs) {
      ++tally_.strayWrites;
      Report(access.timeNs, Verdict::kStray,
             "write of " + Hex(access.value) + " to port " + std::to_string(access.port) +
                 ": the program writes only the control register (890)");
    }
    return;
  }
  ObserveControlWrite(access);
}

void AnswerChecker::Advance(std::uint64_t nowNs) {
  if (answer_) {
    const std::uint64_t lastWrite = answer_->writeNs[answer_->writes - 1];
    const std::uint64_t due = lastWrite + kStepNs + settings_.toleranceNs;
    if (nowNs > due) {
      answer_->problems.push_back(
          fmt::format("stopped after {}", answer_->writes) + OfAllWrites() +
          fmt::format(" (nothing for {:.0f} ms)", (kStepNs + settings_.toleranceNs) / 1e6));
      EndAnswer(due);
    }
  }
  for (auto request = requests_.begin(); request != requests_.end();) {
    if (!request->dueNs || nowNs <= *request->dueNs + settings_.deadlineNs) {
      ++request;
      continue;
    }
    if (!request->optional) {
      ++tally_.missing;
      Report(*request->dueNs + settings_.deadlineNs, Verdict::kMissing,
             fmt::format("no answer within {:.3f} s of the request due at {:.3f} s",
                         settings_.deadlineNs / 1e9, Seconds(*request->dueNs)));
    }
    request = requests_.erase(request);
  }
}

void AnswerChecker::Finish(std::uint64_t nowNs) {
  Advance(nowNs);
  if (answer_) {
    if (answer_->counted) {
      ++tally_.unfinished;
      Report(nowNs, Verdict::kUnfinished,
             "the run ended during an answer (" + std::to_string(answer_->writes) + OfAllWrites() + " seen)");
    }
    answer_.reset();
  }
  for (const Request& request : requests_) {
    if (request.optional) continue;
    ++tally_.unfinished;
    Report(nowNs, Verdict::kUnfinished,
           fmt::format("the run ended while the request raised at {:.3f} s was still awaited",
                       Seconds(request.raisedNs)));
  }
  requests_.clear();
}

bool AnswerChecker::Settled(std::uint64_t nowNs) const {
  if (answer_) return false;
  for (const Request& request : requests_) {
    if (!request.optional) return false;
  }
  // A write one step after the last answer would still spoil it.
  return !lastAnswer_ || nowNs > lastAnswer_->endNs + kStepNs + settings_.toleranceNs;
}

}  // namespace quorvane::supervisor
