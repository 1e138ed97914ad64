// The answer as the supervising side sees it (answer_fixture.h): one
// request, a held one, other inputs, a pulse between two polls.

#include "answer_fixture.h"

namespace quorvane::e2e {
namespace {

TEST_F(Answer, OneRequestGivesOneWholeAnswerEndingAtIdle) {
  Start();
  Raise();
  const auto first = WaitFor(simport::IsWriteTo(simport::kControlPort), 2500ms);
  Drop();
  ASSERT_TRUE(first) << "the raised request line was not answered\n" << run_->Output();
  ASSERT_TRUE(WaitForAnswers(1)) << "the answer was never judged";
  EXPECT_EQ(port_.Control(), 0x01);
  // The line is low again: one request, one answer.
  ExpectQuietFor(2);
  EXPECT_TRUE(run_->Running());

  const Tally& tally = Judge();
  EXPECT_EQ(tally.ok, 1) << Findings();
  EXPECT_EQ(tally.answers, 1);
  EXPECT_EQ(Faults(tally), "") << Findings();
  const JudgedAnswer& answer = tally.judged.front();
  ASSERT_TRUE(answer.pollNs);
  EXPECT_LT(Ms(*answer.pollNs, answer.writeNs[0]), kToleranceMs) << "the answer starts right after the poll";
}

TEST_F(Answer, HeldRequestGivesAnswersBackToBack) {
  Start();
  Raise();
  ASSERT_TRUE(WaitForAnswers(1)) << run_->Output();
  // The tick that fell due during the answer is handled right after it and
  // finds the line still raised.
  std::vector<Access> between;
  ASSERT_TRUE(WaitFor(simport::IsWriteTo(simport::kControlPort), 2500ms, &between))
      << "no second answer while the line stayed raised";
  ASSERT_TRUE(WaitForAnswers(2));
  Drop();
  EXPECT_EQ(std::count_if(between.begin(), between.end(), IsPoll), 1) << Describe(between);

  // Once dropped, at most the answer under way finishes, then quiet.
  WaitFor([](const Access& a) { return IsPoll(a) && !(a.value & simport::kRequestBit); }, 6s);
  ExpectQuietFor(1);
  EXPECT_EQ(port_.Control(), 0x01);

  const Tally& tally = Judge();
  EXPECT_EQ(Faults(tally), "") << Findings();
  ASSERT_GE(tally.judged.size(), 2u);
  EXPECT_EQ(tally.ok, tally.answers);
  const JudgedAnswer &one = tally.judged[0], &two = tally.judged[1];
  EXPECT_LE(Ms(one.writeNs[answer_pattern::kWrites - 1], two.writeNs[0]),
            answer_pattern::kStepNs / 1e6 + kToleranceMs)
      << "the next answer starts at the next tick handled";
}

TEST_F(Answer, OtherStatusBitsNeverStartAnAnswer) {
  Start(0xEF);  // every input raised but the request line
  std::vector<Access> seen;
  for (int i = 0; i < 3; ++i) {
    const auto poll = NextPoll(2500ms, &seen);
    ASSERT_TRUE(poll) << "the program stopped polling";
    EXPECT_EQ(poll->value, 0xEF);
  }
  for (const Access& a : seen) EXPECT_FALSE(a.write) << Describe(seen);
  EXPECT_EQ(port_.Control(), 0x01);
  const Tally& tally = Judge();
  EXPECT_EQ(tally.answers, 0) << Findings();
  EXPECT_EQ(Faults(tally), "") << Findings();
}

TEST_F(Answer, PulseBetweenTwoPollsIsNotSeen) {
  Start();
  // The program polls once a second; a 300 ms pulse placed 300 ms after a
  // poll ends well before the next. On a machine too loaded to place it,
  // try again.
  bool placed = false;
  for (int attempt = 0; attempt < 3 && !placed; ++attempt) {
    const auto poll = NextPoll(2500ms);
    ASSERT_TRUE(poll);
    std::this_thread::sleep_for(SinceNow(poll->timeNs) + 300ms);
    const auto raisedNs = simport::NowNs();
    Raise(false);
    std::this_thread::sleep_for(300ms);
    Drop();
    const auto droppedNs = simport::NowNs();

    std::vector<Access> seen;
    const auto after = NextPoll(2500ms, &seen);
    ASSERT_TRUE(after);
    placed = std::none_of(seen.begin(), seen.end(), [&](const Access& a) {
      return IsPoll(a) && a.timeNs >= raisedNs && a.timeNs <= droppedNs;
    });
    if (!placed) {
      // A poll fell inside the pulse and rightly answered it: let that pass,
      // and judge from the next attempt on.
      std::this_thread::sleep_for(4s);
      reader_.ReadNew();
      RestartChecker();
    }
  }
  ASSERT_TRUE(placed) << "could not place the pulse between two polls";
  ExpectQuietFor(2);
  const Tally& tally = Judge();
  EXPECT_EQ(tally.answers, 0) << Findings();
  EXPECT_EQ(Faults(tally), "") << Findings();
}

}  // namespace
}  // namespace quorvane::e2e
