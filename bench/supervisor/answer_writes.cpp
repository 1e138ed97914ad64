// Following one answer's writes to the control register: where it starts,
// whether each step has the right value and spacing, and the verdict when it
// ends.

#include <algorithm>
#include <iterator>

#include "bench/supervisor/answer_checker.h"
#include "bench/supervisor/answer_checker_texts.h"
#include "port/answer_pattern.h"

namespace quorvane::supervisor {

namespace {

using answer_pattern::kSteps;
using answer_pattern::kWrites;
using checker_texts::Hex;
constexpr std::uint64_t kStepNs = answer_pattern::kStepNs;

// "0, 1, 0, 1", for the texts.
std::string PatternText() {
  std::string text;
  for (const answer_pattern::Step& step : kSteps)
    text += (text.empty() ? "" : ", ") + std::to_string(step.value);
  return text;
}

std::uint64_t Distance(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : b - a; }

}  // namespace

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
          fmt::format("step {} took {:.3f} ms, not {:.0f} ms", step, spacing / 1e6, due / 1e6) +
          fmt::format(" (tolerance {:.0f} ms)", settings_.toleranceNs / 1e6));
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
             fmt::format("answer malformed: an extra write of 1, {:.3f} ms after its last write",
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
          fmt::format("the poll at {:.3f} s saw a pulse that was meant to fall between two polls",
                      Seconds(lastPoll_->timeNs));
    else
      answer.unrequestedWhy = fmt::format("the poll before it (at {:.3f} s) saw the request line low",
                                          Seconds(lastPoll_->timeNs));
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
      text += fmt::format(", {:.3f} s after the request ", latency / 1e9) +
              (request->fresh ? "was raised" : "was due");
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
      text += fmt::format(" first edge {:.3f} s after the request ", *answer.latencyNs / 1e9) +
              (answer.afterRaise ? "was raised" : "was due") +
              fmt::format(" (limit {:.3f} s);", settings_.lateNs / 1e9);
    text += " steps";
    for (int i = 1; i < answer.writes; ++i)
      text += fmt::format(" {:.3f}", (answer.writeNs[i] - answer.writeNs[i - 1]) / 1e6);
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

}  // namespace quorvane::supervisor
