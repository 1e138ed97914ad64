// One copy per port: a second copy started on the port a running copy
// drives ends at its first port access, before it writes the port or the
// log, saying who holds the port, while the running copy's answers go on
// well formed; a copy that was killed leaves the port free.

#include "answer_fixture.h"

namespace quorvane::e2e {
namespace {

class OneCopy : public Answer {
 protected:
  // The second copy is the text front end: its failure needs no box to be
  // dismissed (the rule is the port library's, the same for both).
  RunOptions Second() const {
    RunOptions options;
    options.program = CONSOLE_PROGRAM;
    options.outputName = "second";
    return options;
  }
};

TEST_F(OneCopy, SecondCopyEndsWithinTwoSecondsNamingTheHolderWhileTheFirstAnswersOn) {
  Start();
  const std::string log = testing::ReadAll(folder_.LogPath());
  ASSERT_FALSE(log.empty()) << run_->Output();
  // A held request: answers back to back, so the second copy starts and
  // ends in the middle of one.
  Raise();
  ASSERT_TRUE(WaitFor(simport::IsWriteTo(simport::kControlPort), 2500ms)) << run_->Output();

  const auto started = std::chrono::steady_clock::now();
  ProgramRun second(folder_, Second());
  ASSERT_TRUE(second.Started());
  const auto status = second.WaitForExit(2s);
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(status) << "the second copy was still running after 2 s\n" << second.Output();
  EXPECT_EQ(*status, 1) << second.Output();
  EXPECT_LT(took, 2s);
  const std::string expected =
      "quorvane: the port library libinpout32.so cannot reach the parallel port: "
      "the simulated port file " +
      folder_.StatePath().string() + " is held by another program: ";
  EXPECT_EQ(second.Stderr().rfind(expected, 0), 0u) << second.Output();
  EXPECT_NE(second.Stderr().find("(process " + std::to_string(run_->Pid()) + ") has locked it\n"),
            std::string::npos)
      << "the holder is named\n"
      << second.Output();
  EXPECT_EQ(testing::ReadAll(folder_.LogPath()), log) << "the second copy wrote to the log";

  ASSERT_TRUE(WaitForAnswers(3)) << run_->Output();
  Drop();
  WaitFor([](const Access& a) { return IsPoll(a) && !(a.value & simport::kRequestBit); }, 6s);
  EXPECT_TRUE(run_->Running());
  EXPECT_EQ(port_.Control(), 0x01);
  // Any access of the second copy (its start-up write) would be an
  // unrequested write or break an answer.
  const Tally& tally = Judge();
  EXPECT_EQ(Faults(tally), "") << Findings();
  EXPECT_GE(tally.ok, 3);
  EXPECT_EQ(tally.ok, tally.answers) << Findings();
}

TEST_F(OneCopy, KilledCopyLeavesThePortFreeForTheNext) {
  Start();
  run_->Signal(SIGKILL);
  ASSERT_TRUE(run_->WaitForExit(2s));

  ProgramRun next(folder_, Second());
  ASSERT_TRUE(NextPoll(3s)) << "the next copy never polled\n" << next.Output();
  EXPECT_TRUE(next.Running()) << next.Output();
  EXPECT_EQ(next.Stderr().find("quorvane:"), std::string::npos) << next.Output();
}

}  // namespace
}  // namespace quorvane::e2e
