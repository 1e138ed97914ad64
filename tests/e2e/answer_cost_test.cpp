// What an answer costs the machine: the answer's waits sleep, so a request
// held up, answered back to back, takes a small part of a core, and every
// answer is still well formed. A generous bound, not a timing figure (the
// benchmark measures those).

#include <fstream>

#include "answer_fixture.h"

namespace quorvane::e2e {
namespace {

// The CPU time a process has had, in ns, by the scheduler's own counter.
std::optional<std::uint64_t> ScheduledNs(pid_t pid) {
  std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
  std::uint64_t onCpuNs = 0;
  if (!(schedstat >> onCpuNs)) return std::nullopt;
  return onCpuNs;
}

TEST_F(Answer, HeldRequestTakesUnderATenthOfACoreAndEveryAnswerIsWellFormed) {
  Start();
  if (!ScheduledNs(run_->Pid())) GTEST_SKIP() << "no /proc/<pid>/schedstat here (kernel without schedstats)";
  Raise();
  ASSERT_TRUE(WaitFor(simport::IsWriteTo(simport::kControlPort), 2500ms)) << run_->Output();
  const auto cpu0 = ScheduledNs(run_->Pid());
  const std::uint64_t t0 = simport::NowNs();
  // Ten seconds of answers back to back: three of them, with their polls.
  while (Ms(t0, simport::NowNs()) < 10'000) WaitFor([](const Access&) { return false; }, 500ms);
  const auto cpu1 = ScheduledNs(run_->Pid());
  const double span = Ms(t0, simport::NowNs());
  Drop();
  // The answer under way ends; then quiet.
  WaitFor([](const Access& a) { return IsPoll(a) && !(a.value & simport::kRequestBit); }, 6s);
  ASSERT_TRUE(cpu0 && cpu1);
  const double coreShare = static_cast<double>(*cpu1 - *cpu0) / 1e6 / span;
  // A busy wait took 94 % of a core here; sleeping, about 0.1 %.
  EXPECT_LT(coreShare, 0.10) << "the answer spins instead of sleeping";

  const Tally& tally = Judge();
  EXPECT_GE(tally.answers, 3) << Findings();
  EXPECT_EQ(tally.ok, tally.answers) << Findings();
  EXPECT_EQ(Faults(tally), "") << Findings();
}

}  // namespace
}  // namespace quorvane::e2e
