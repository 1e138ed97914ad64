#include "bench/benchmark/answer_judge.h"

namespace quorvane::bench {

namespace {

supervisor::CheckerSettings From(std::uint64_t startNs) {
  supervisor::CheckerSettings settings;
  settings.countFromNs = startNs;
  return settings;
}

}  // namespace

AnswerJudge::AnswerJudge(ProgramUnderTest& program) : program_(program), checker_(From(simport::NowNs())) {}

void AnswerJudge::CatchUp() {
  program_.Collect();
  const auto& accesses = program_.Accesses();
  for (; fed_ < accesses.size(); ++fed_) checker_.Observe(accesses[fed_]);
}

void AnswerJudge::RaiseRequest() {
  // The checker hears of the raise before any poll can see it.
  CatchUp();
  checker_.LineRaised(simport::NowNs(), true);
  program_.Port().RaiseRequest();
}

void AnswerJudge::DropRequest() {
  CatchUp();
  program_.Port().DropRequest();
  checker_.LineDropped(simport::NowNs());
}

void AnswerJudge::Update() {
  // Taken before the record is read, so no access before it is still unread.
  const std::uint64_t now = simport::NowNs();
  CatchUp();
  checker_.Advance(now);
  checker_.TakeFindings();  // the verdicts are kept in the totals; the texts are the supervisor's trace
}

void AnswerJudge::Finish() {
  const std::uint64_t now = simport::NowNs();
  CatchUp();
  checker_.Finish(now);
  checker_.TakeFindings();
}

}  // namespace quorvane::bench
