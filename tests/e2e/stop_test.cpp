// A stop never cuts an answer short: SIGTERM, SIGINT and SIGHUP end either
// Linux front end as a window close does, with status 0, but only once the
// answer under way has ended whole, the answer line at its idle 1.

#include <signal.h>

#include "answer_fixture.h"

namespace quorvane::e2e {
namespace {

struct StopCase {
  const char* program;
  int signal;
  const char* name;
};

void PrintTo(const StopCase& stop, std::ostream* out) { *out << stop.name; }

class Stop : public Answer, public ::testing::WithParamInterface<StopCase> {
 protected:
  RunOptions Program() const {
    RunOptions options;
    options.program = GetParam().program;
    return options;
  }
};

TEST_P(Stop, DuringAnAnswerEndsAfterItWholeAtIdleWithStatusZero) {
  Start(0x00, Program());
  Raise();
  const auto first = WaitFor(simport::IsWriteTo(simport::kControlPort), 2500ms);
  Drop();
  ASSERT_TRUE(first) << run_->Output();
  ASSERT_EQ(first->value, 0) << "the answer's first step";
  // Halfway through the first step.
  std::this_thread::sleep_for(SinceNow(first->timeNs) + 500ms);
  const std::uint64_t signalledNs = simport::NowNs();
  run_->Signal(GetParam().signal);

  const auto status = run_->WaitForExit(5s);
  ASSERT_TRUE(status) << "still running 5 s after the signal\n" << run_->Output();
  EXPECT_EQ(*status, 0) << run_->Output();
  EXPECT_EQ(run_->Stderr().find("quorvane:"), std::string::npos) << "no failure";
  EXPECT_EQ(port_.Control(), 0x01) << "the answer line is left at its idle level";

  const Tally& tally = Judge();
  EXPECT_EQ(tally.answers, 1) << Findings();
  EXPECT_EQ(tally.ok, 1) << Findings();
  EXPECT_EQ(Faults(tally), "") << Findings();
  ASSERT_EQ(tally.judged.size(), 1u);
  EXPECT_GT(tally.judged.front().writeNs[3], signalledNs) << "the answer was under way at the signal";
}

TEST_P(Stop, AtRestEndsAtOnceWritingNothing) {
  Start(0x00, Program());
  const std::uint64_t signalledNs = simport::NowNs();
  run_->Signal(GetParam().signal);
  const auto status = run_->WaitForExit(1500ms);
  ASSERT_TRUE(status) << run_->Output();
  EXPECT_EQ(*status, 0) << run_->Output();
  for (const Access& a : reader_.ReadNew())
    EXPECT_FALSE(a.write && a.timeNs > signalledNs) << "a write on the way out";
  EXPECT_EQ(port_.Control(), 0x01);
}

INSTANTIATE_TEST_SUITE_P(FrontEnds, Stop,
                         ::testing::Values(StopCase{CONSOLE_PROGRAM, SIGTERM, "ConsoleSIGTERM"},
                                           StopCase{CONSOLE_PROGRAM, SIGINT, "ConsoleSIGINT"},
                                           StopCase{CONSOLE_PROGRAM, SIGHUP, "ConsoleSIGHUP"},
                                           StopCase{QUORVANE_PROGRAM, SIGTERM, "WindowSIGTERM"},
                                           StopCase{QUORVANE_PROGRAM, SIGHUP, "WindowSIGHUP"}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quorvane::e2e
