#pragma once

// The supervisor's answer checker following the program under test: every
// access the benchmark collects goes through it in order, and so does each
// change of the request line, so the benchmark times the answers the checker
// judged, with the checker's verdicts.

#include <cstdint>
#include <vector>

#include "bench/benchmark/program_under_test.h"
#include "bench/supervisor/answer_checker.h"

namespace quorvane::bench {

class AnswerJudge {
 public:
  // Judges the answers that start from now on; what came before only tells
  // the checker the answer line's state.
  explicit AnswerJudge(ProgramUnderTest& program);

  void RaiseRequest();
  void DropRequest();
  // Collects what the program did since the last look and judges what is due.
  void Update();
  // The run ends: what is still running or awaited is left unfinished.
  void Finish();

  bool AnswerRunning() const { return checker_.AnswerRunning(); }
  const std::vector<supervisor::JudgedAnswer>& Answers() const { return checker_.Totals().judged; }
  const supervisor::Tally& Totals() const { return checker_.Totals(); }

 private:
  // Collects what the program did since the last look and feeds it to the checker.
  void CatchUp();

  ProgramUnderTest& program_;
  supervisor::AnswerChecker checker_;
  std::size_t fed_ = 0;  // how many of the program's accesses the checker has seen
};

}  // namespace quorvane::bench
