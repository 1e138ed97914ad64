#include "bench/supervisor/answer_checker.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "port/answer_pattern.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::supervisor {

namespace {

using answer_pattern::kSteps;
using answer_pattern::kWrites;
constexpr std::uint64_t kStepNs = answer_pattern::kStepNs;

// "0, 1, 0, 1", for the texts.
std::string PatternText() {
  std::string text;
  for (const answer_pattern::Step& step : kSteps)
    text += (text.empty() ? "" : ", ") + std::to_string(step.value);
  return text;
}

// "of 4 writes", for the texts.
std::string OfAllWrites() { return " of " + std::to_string(kWrites) + " writes"; }

std::uint64_t Distance(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : b - a; }

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

std::string Hex(std::int16_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(static_cast<std::uint16_t>(value)));
  return text;
}

}  // namespace

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kNote: return "NOTE";
    case Verdict::kOk: return "OK";
    case Verdict::kLate: return "LATE";
    case Verdict::kMalformed: return "MALFORMED";
    case Verdict::kUnrequested: return "UNREQUESTED";
    case Verdict::kMissing: return "MISSING";
    case Verdict::kStray: return "STRAY";
    case Verdict::kUnfinished: return "UNFINISHED";
  }
  return "?";
}

std::string Faults(const Tally& tally) {
  std::string faults;
  const auto add = [&](int count, const char* what) {
    if (count > 0) faults += (faults.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  };
  add(tally.missing, "missing");
  add(tally.late, "late");
  add(tally.malformed, "malformed");
  add(tally.unrequested, "unrequested");
  add(tally.strayWrites, "stray writes");
  return faults;
}

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

void AnswerChecker::ObserveControlWrite(const Access& access) {
  const std::uint64_t t = access.timeNs;
  const bool counted = t >= settings_.countFromNs;

  if (!answer_ && absorbWrites_ > 0 && t <= absorbUntilNs_) {
    --absorbWrites_;
    absorbUntilNs_ = t + kStepNs + settings_.toleranceNs;
    level_ = static_cast<std::uint8_t>(access.value & 0xFF);
    return;
  }
  if (access.value != 0 && access.value != 1) {
    level_ = static_cast<std::uint8_t>(access.value & 0xFF);
    if (answer_) {
      answer_->problems.push_back("write " + std::to_string(answer_->writes + 1) + " was " +
                                  Hex(access.value) + ", only 0 and 1 belong in an answer");
      answer_->writeNs[answer_->writes++] = t;  // one of the four, though wrong
      EndAnswer(t);
    } else if (counted) {
      ++tally_.strayWrites;
      Report(t, Verdict::kStray,
             "write of " + Hex(access.value) + " to port 890: only 0 and 1 are ever written");
    }
    return;
  }
  const auto value = static_cast<std::uint8_t>(access.value);

  if (answer_) {
    Answer& answer = *answer_;
    const int step = answer.writes;
    if (value != kSteps[step].value) {
      answer.problems.push_back("write " + std::to_string(step + 1) + " was " + std::to_string(value) +
                                ", expected " + std::to_string(kSteps[step].value) + " (" + PatternText() +
                                ")");
      level_ = value;
      answer.writeNs[answer.writes++] = t;  // one of the four, though wrong
      EndAnswer(t);
      return;
    }
    const std::uint64_t spacing = t - answer.writeNs[step - 1];
    const auto due = static_cast<std::uint64_t>(kSteps[step].offsetNs - kSteps[step - 1].offsetNs);
    const std::uint64_t error = Distance(spacing, due);
    if (answer.counted) tally_.spacingErrorsNs.push_back(error);
    if (error > settings_.toleranceNs) {
      answer.problems.push_back(
          Format("step %.0f took %.3f ms, not %.0f ms", step, spacing / 1e6, due / 1e6) +
          Format(" (tolerance %.0f ms)", settings_.toleranceNs / 1e6));
    }
    answer.writeNs[step] = t;
    ++answer.writes;
    level_ = value;
    if (answer.writes == static_cast<int>(kWrites)) EndAnswer(t);
    return;
  }

  if (value == 0) {
    if (level_ == 0) {
      if (counted) {
        ++tally_.strayWrites;
        Report(t, Verdict::kStray, "write of 0 to port 890 while the answer line is already 0");
      }
      return;
    }
    StartAnswer(access);
    return;
  }

  // A write of 1 with no answer running.
  if (level_ == 1 && lastAnswer_ && t - lastAnswer_->endNs <= kStepNs + settings_.toleranceNs) {
    // One step after an answer ended: a fifth write, which spoils that answer.
    if (lastAnswer_->counted) {
      if (lastAnswer_->verdict != Verdict::kMalformed) {
        Count(lastAnswer_->verdict, -1);
        Count(Verdict::kMalformed, +1);
        lastAnswer_->verdict = Verdict::kMalformed;
        tally_.judged.back().verdict = Verdict::kMalformed;  // the last answer counted is that one
      }
      Report(t, Verdict::kMalformed,
             Format("answer malformed: an extra write of 1, %.3f ms after its last write",
                    (t - lastAnswer_->endNs) / 1e6));
    }
  } else if (counted) {
    Report(t, Verdict::kNote,
           level_ == 1 ? "write of 1 while idle (the program started again?)"
                       : "answer line set to its idle value 1");
  }
  level_ = 1;
}

void AnswerChecker::StartAnswer(const Access& access) {
  const std::uint64_t t = access.timeNs;
  Answer answer;
  answer.writeNs[0] = t;
  answer.writes = 1;
  answer.counted = t >= settings_.countFromNs;
  level_ = 0;

  // The poll that started it: the last status read since the previous answer.
  const bool pollSinceLastAnswer = lastPoll_ && (!lastAnswer_ || lastPoll_->timeNs >= lastAnswer_->endNs);
  if (pollSinceLastAnswer) answer.pollNs = lastPoll_->timeNs;
  answer.requested = pollSinceLastAnswer && lastPoll_->sawRequest;
  if (!answer.requested) {
    if (!pollSinceLastAnswer)
      answer.unrequestedWhy = "no poll of the request line came before it";
    else if (lastPoll_->sawPulse)
      answer.unrequestedWhy =
          Format("the poll at %.3f s saw a pulse that was meant to fall between two polls",
                 Seconds(lastPoll_->timeNs));
    else
      answer.unrequestedWhy =
          Format("the poll before it (at %.3f s) saw the request line low", Seconds(lastPoll_->timeNs));
  }

  std::string text = "answer started";
  if (answer.requested) {
    for (auto request = requests_.begin(); request != requests_.end(); ++request) {
      if (!request->dueNs || *request->dueNs > t) continue;
      const std::uint64_t latency = t - *request->dueNs;
      answer.latencyNs = latency;
      answer.late = latency > settings_.lateNs;
      answer.afterRaise = request->fresh;
      if (request->fresh && answer.counted) tally_.latenciesNs.push_back(latency);
      text +=
          Format(", %.3f s after the request ", latency / 1e9) + (request->fresh ? "was raised" : "was due");
      requests_.erase(request);
      break;
    }
  }
  if (answer.counted) Report(t, Verdict::kNote, text);
  answer_ = std::move(answer);
}

void AnswerChecker::EndAnswer(std::uint64_t timeNs) {
  Answer answer = std::move(*answer_);
  answer_.reset();

  Verdict verdict = Verdict::kOk;
  std::string text;
  if (!answer.problems.empty()) {
    verdict = Verdict::kMalformed;
    text = "answer malformed:";
    for (std::size_t i = 0; i < answer.problems.size(); ++i) text += (i ? "; " : " ") + answer.problems[i];
  } else if (!answer.requested) {
    verdict = Verdict::kUnrequested;
    text = "answer with no request: " + answer.unrequestedWhy;
  } else {
    verdict = answer.late ? Verdict::kLate : Verdict::kOk;
    text = answer.late ? "answer late:" : "answer ok:";
    if (answer.latencyNs)
      text += Format(" first edge %.3f s after the request ", *answer.latencyNs / 1e9) +
              (answer.afterRaise ? "was raised" : "was due") +
              Format(" (limit %.3f s);", settings_.lateNs / 1e9);
    text += " steps";
    for (int i = 1; i < answer.writes; ++i)
      text += Format(" %.3f", (answer.writeNs[i] - answer.writeNs[i - 1]) / 1e6);
    text += " ms";
  }
  if (answer.counted) {
    Count(verdict, +1);
    Report(timeNs, verdict, text);
    JudgedAnswer judged{verdict, answer.pollNs, {}, answer.writes};
    std::copy(std::begin(answer.writeNs), std::end(answer.writeNs), judged.writeNs);
    tally_.judged.push_back(judged);
  }
  lastAnswer_ = LastAnswer{timeNs, verdict, answer.counted};
  absorbWrites_ = static_cast<int>(kWrites) - answer.writes;
  absorbUntilNs_ = timeNs + kStepNs + settings_.toleranceNs;

  // Requests raised during the answer are due now; a line still held raised
  // calls for the next answer at once.
  for (Request& request : requests_) {
    if (!request.dueNs) request.dueNs = timeNs;
  }
  if (lineRaised_ && !lineIsPulse_ && requests_.empty()) requests_.push_back({timeNs, timeNs, false});
}

void AnswerChecker::Advance(std::uint64_t nowNs) {
  if (answer_) {
    const std::uint64_t lastWrite = answer_->writeNs[answer_->writes - 1];
    const std::uint64_t due = lastWrite + kStepNs + settings_.toleranceNs;
    if (nowNs > due) {
      answer_->problems.push_back(Format("stopped after %.0f", answer_->writes) + OfAllWrites() +
                                  Format(" (nothing for %.0f ms)", (kStepNs + settings_.toleranceNs) / 1e6));
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
             Format("no answer within %.3f s of the request due at %.3f s", settings_.deadlineNs / 1e9,
                    Seconds(*request->dueNs)));
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
           Format("the run ended while the request raised at %.3f s was still awaited",
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
