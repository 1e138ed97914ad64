// The answer checker fed with made-up access streams: every kind of answer
// it must tell apart, with times in milliseconds from the start of the run.

#include "bench/supervisor/answer_checker.h"

#include <gtest/gtest.h>

#include <array>

namespace quorvane::supervisor {
namespace {

constexpr std::uint64_t kMs = 1'000'000;
constexpr std::uint64_t kStartNs = 500'000 * kMs;  // any monotonic time

class AnswerCheckerTest : public ::testing::Test {
 protected:
  static std::uint64_t At(double ms) { return kStartNs + static_cast<std::int64_t>(ms * kMs); }

  void Poll(double ms, std::int16_t status) { checker_.Observe({sequence_++, At(ms), false, 889, status}); }
  void Write(double ms, std::int16_t value, std::int16_t port = 890) {
    checker_.Observe({sequence_++, At(ms), true, port, value});
  }
  void Raise(double ms, bool expectAnswer = true) { checker_.LineRaised(At(ms), expectAnswer); }
  void Drop(double ms) { checker_.LineDropped(At(ms)); }
  void Advance(double ms) { checker_.Advance(At(ms)); }

  // The program's side of a tick that finds the request: a poll, then the
  // four writes at the given offsets. The supervisor drops the line right
  // after the first write, as once and every do, unless told to hold it.
  void Answer(double ms, std::array<std::int16_t, 4> values = {0, 1, 0, 1},
              std::array<double, 4> offsets = {0, 1000, 2000, 3000}, bool drop = true, int writes = 4) {
    Poll(ms, 0x10);
    for (int i = 0; i < writes; ++i) {
      Write(ms + offsets[i], values[i]);
      if (i == 0 && drop) Drop(ms + 1);
    }
  }
  void AnswerHeld(double ms) { Answer(ms, {0, 1, 0, 1}, {0, 1000, 2000, 3000}, false); }
  // Only the first `writes` writes of a well-formed answer.
  void AnswerCut(double ms, int writes) { Answer(ms, {0, 1, 0, 1}, {0, 1000, 2000, 3000}, true, writes); }

  // The verdicts reported so far, notes left out.
  std::vector<Verdict> Verdicts() {
    std::vector<Verdict> verdicts;
    for (const Finding& finding : checker_.TakeFindings()) {
      if (finding.verdict != Verdict::kNote) verdicts.push_back(finding.verdict);
    }
    return verdicts;
  }

  const Tally& Totals() const { return checker_.Totals(); }
  void Reset() { checker_ = AnswerChecker(Settings()); }

  static CheckerSettings Settings() {
    CheckerSettings settings;  // one-second steps, 50 ms tolerance, late after 1.2 s, deadline 3 s
    settings.countFromNs = kStartNs;
    return settings;
  }

  AnswerChecker checker_{Settings()};
  std::uint64_t sequence_ = 0;
};

using V = Verdict;

TEST_F(AnswerCheckerTest, AWellFormedAnswerInTimeIsOkWithItsLatencyAndStepErrors) {
  Write(-2000, 1);  // the program's start-up write, before the run
  Poll(-1000, 0x00);
  Raise(0);
  Poll(400, 0xFF);  // every input raised: bit 4 among them
  Write(400, 0);
  Drop(401);
  Write(1400, 1);
  Write(2449, 0);  // 1049 ms: within the tolerance
  Write(3400, 1);  // 951 ms
  Advance(5000);

  EXPECT_EQ(Verdicts(), std::vector<V>{V::kOk});
  EXPECT_EQ(Totals().answers, 1);
  EXPECT_EQ(Totals().ok, 1);
  EXPECT_FALSE(Totals().Failed());
  EXPECT_EQ(Totals().latenciesNs, std::vector<std::uint64_t>{400 * kMs});
  EXPECT_EQ(Totals().spacingErrorsNs, (std::vector<std::uint64_t>{0, 49 * kMs, 49 * kMs}));
  EXPECT_TRUE(checker_.Settled(At(5000)));
  // What the benchmark and the tests take their own figures from.
  ASSERT_EQ(Totals().judged.size(), 1u);
  const JudgedAnswer& judged = Totals().judged.front();
  EXPECT_EQ(judged.verdict, V::kOk);
  EXPECT_EQ(judged.pollNs, At(400));
  EXPECT_EQ(judged.writes, 4);
  EXPECT_EQ(std::vector<std::uint64_t>(judged.writeNs, judged.writeNs + 4),
            (std::vector<std::uint64_t>{At(400), At(1400), At(2449), At(3400)}));
}

TEST_F(AnswerCheckerTest, AnAnswerAfterTheLateLimitIsLateAndFails) {
  Raise(0);
  Answer(1190);  // one tick and a little: in time
  Advance(6000);
  Raise(10000);
  Answer(11500);  // 1.5 s: later than the 1.2 s allowed
  Advance(16000);

  EXPECT_EQ(Verdicts(), (std::vector<V>{V::kOk, V::kLate}));
  EXPECT_EQ(Totals().ok, 1);
  EXPECT_EQ(Totals().late, 1);
  EXPECT_TRUE(Totals().Failed());
}

TEST_F(AnswerCheckerTest, ARequestSeenButNotAnsweredGoesMissingAtTheDeadlineNotBefore) {
  Raise(0);
  Poll(400, 0x10);
  Poll(1400, 0x10);
  Poll(2400, 0x10);
  Advance(3000);
  EXPECT_TRUE(Verdicts().empty()) << "the deadline is not yet past";
  EXPECT_FALSE(checker_.Settled(At(3000)));
  Drop(3000);
  Advance(3001);
  EXPECT_EQ(Verdicts(), std::vector<V>{V::kMissing});
  EXPECT_EQ(Totals().missing, 1);
  EXPECT_TRUE(Totals().Failed());
  EXPECT_TRUE(checker_.Settled(At(3001)));
}

TEST_F(AnswerCheckerTest, ALineDroppedBeforeAnyPollCouldSeeItNeedNotBeAnswered) {
  Raise(0);
  Drop(300);  // shorter than a tick
  Poll(900, 0x00);
  Advance(5000);
  EXPECT_TRUE(Verdicts().empty());
  EXPECT_FALSE(Totals().Failed());

  // A line held for more than a tick must have been seen.
  Raise(10000);
  Poll(10500, 0x10);
  Drop(11500);
  Advance(13100);
  EXPECT_EQ(Verdicts(), std::vector<V>{V::kMissing});
}

TEST_F(AnswerCheckerTest, WrongValuesOrOrderAreMalformed) {
  struct Case {
    const char* what;
    std::array<std::int16_t, 4> values;
  };
  const Case cases[] = {
      {"second write 0 instead of 1", {0, 0, 1, 1}},
      {"third write 1 instead of 0", {0, 1, 1, 1}},
      {"a value other than 0 and 1", {0, 1, 2, 1}},
      {"bits 1 to 7 set with bit 0", {0, 0x81, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Raise(0);
    Answer(500, c.values);
    Advance(6000);
    EXPECT_EQ(Totals().malformed, 1);
    ASSERT_EQ(Totals().judged.size(), 1u);
    EXPECT_EQ(Totals().judged[0].verdict, V::kMalformed);
    // It ends at the wrong write, which is kept with its time.
    const int wrong = Totals().judged[0].writes - 1;
    EXPECT_NE(c.values[wrong], (std::array<std::int16_t, 4>{0, 1, 0, 1}[wrong]));
    EXPECT_EQ(Totals().judged[0].writeNs[wrong], At(500 + 1000 * wrong));
    EXPECT_EQ(Totals().ok, 0);
    EXPECT_EQ(Totals().missing, 0) << "the request was answered, badly";
    EXPECT_TRUE(Totals().Failed());
  }
}

TEST_F(AnswerCheckerTest, StepsOutsideTheToleranceAreMalformedAndTheirErrorIsKept) {
  Raise(0);
  Answer(500, {0, 1, 0, 1}, {0, 1000, 2100, 3000});  // 1100 ms then 900 ms
  Advance(6000);
  EXPECT_EQ(Verdicts(), std::vector<V>{V::kMalformed});
  EXPECT_EQ(Totals().spacingErrorsNs, (std::vector<std::uint64_t>{0, 100 * kMs, 100 * kMs}));
}

TEST_F(AnswerCheckerTest, AnAnswerThatStopsHalfWayIsMalformedOnceTheNextStepIsOverdue) {
  Raise(0);
  AnswerCut(500, 2);
  Advance(2550);  // the next step is due by 2550 (1000 ms + 50 ms tolerance)
  EXPECT_TRUE(Verdicts().empty());
  Advance(2551);
  EXPECT_EQ(Verdicts(), std::vector<V>{V::kMalformed});
}

TEST_F(AnswerCheckerTest, APollInTheMiddleOfAnAnswerCutsItShortAndTheNextAnswerStandsAlone) {
  Raise(0);
  AnswerCut(500, 2);
  Raise(2000);
  Answer(2100);  // polled after two writes: the first answer ended there
  Advance(6000);
  EXPECT_EQ(Verdicts(), (std::vector<V>{V::kMalformed, V::kOk}));
  EXPECT_EQ(Totals().answers, 2);
}

TEST_F(AnswerCheckerTest, AWriteOneStepAfterAnAnswerSpoilsItButALaterStartUpWriteDoesNot) {
  Raise(0);
  Answer(500);
  Write(4500, 1);  // a fifth write, a step after the fourth
  Advance(6000);
  EXPECT_EQ(Verdicts(), (std::vector<V>{V::kOk, V::kMalformed}));
  EXPECT_EQ(Totals().answers, 1);
  EXPECT_EQ(Totals().ok, 0);
  EXPECT_EQ(Totals().malformed, 1);
  EXPECT_EQ(Totals().judged.back().verdict, V::kMalformed) << "the judged answer's verdict changes too";

  Write(20000, 1);  // long after: the program starting again
  Advance(21000);
  EXPECT_TRUE(Verdicts().empty());
  EXPECT_EQ(Totals().malformed, 1);
}

TEST_F(AnswerCheckerTest, AnAnswerNoPollSawARequestForIsUnrequested) {
  struct Case {
    const char* what;
    std::optional<std::int16_t> status;  // the poll before the answer, if any
    bool pulse;                          // the line was raised as a pulse
  };
  const Case cases[] = {
      {"request line low", std::int16_t{0x00}, false},
      {"every bit but the request line", std::int16_t{0xEF}, false},
      {"no poll at all", std::nullopt, false},
      {"a poll that saw a pulse", std::int16_t{0x10}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    if (c.pulse) Raise(100, false);
    if (c.status) Poll(200, *c.status);
    if (c.pulse) Drop(300);
    for (int i = 0; i < 4; ++i) Write(200 + 1000 * i, static_cast<std::int16_t>(i % 2));
    Advance(6000);
    EXPECT_EQ(Totals().unrequested, 1);
    EXPECT_EQ(Totals().answers, 1);
    EXPECT_TRUE(Totals().Failed());
  }
}

TEST_F(AnswerCheckerTest, AHeldLineIsAnsweredBackToBackAndMustNotStop) {
  Raise(0);
  AnswerHeld(300);   // 300 .. 3300
  AnswerHeld(3300);  // the tick that fell due meanwhile runs at once
  Poll(6300, 0x10);
  Write(6300, 0);
  Write(7300, 1);
  Drop(7500);  // during the third answer
  Write(8300, 0);
  Write(9300, 1);
  Poll(9300, 0x00);
  Advance(12000);
  EXPECT_EQ(Verdicts(), (std::vector<V>{V::kOk, V::kOk, V::kOk}));
  EXPECT_EQ(Totals().latenciesNs.size(), 1u) << "only the first answer follows a raise from idle";

  // Held again, and the program stops answering after one answer.
  Raise(20000);
  AnswerHeld(20300);
  Poll(23300, 0x10);
  Poll(24300, 0x10);
  Poll(25300, 0x10);
  Advance(26300);
  EXPECT_EQ(Verdicts(), std::vector<V>{V::kOk});
  Advance(26301);  // three seconds after the first answer ended
  EXPECT_EQ(Verdicts(), std::vector<V>{V::kMissing});
}

TEST_F(AnswerCheckerTest, ARequestRaisedDuringAnAnswerIsDueFromItsEnd) {
  Poll(0, 0x10);  // someone else's request, answered from 0 to 3000
  Write(0, 0);
  Raise(500);
  Write(1000, 1);
  Write(2000, 0);
  Write(3000, 1);
  Answer(3900);  // 3.4 s after the raise, but 0.9 s after the answer ended
  Advance(9000);
  EXPECT_EQ(Verdicts(), (std::vector<V>{V::kOk, V::kOk}));
  EXPECT_TRUE(Totals().latenciesNs.empty()) << "the latency of a deferred request says nothing of the poll";
}

TEST_F(AnswerCheckerTest, WritesToOtherPortsAreStray) {
  Write(100, 0x55, 888);
  Write(200, 0x10, 889);
  Advance(1000);
  EXPECT_EQ(Verdicts(), (std::vector<V>{V::kStray, V::kStray}));
  EXPECT_EQ(Totals().strayWrites, 2);
  EXPECT_TRUE(Totals().Failed());
  EXPECT_EQ(Faults(Totals()), "2 stray writes");
}

TEST_F(AnswerCheckerTest, AnAnswerRunningAtTheStartIsFollowedButNotCounted) {
  Poll(-1500, 0x10);
  Write(-1500, 0);
  Write(-500, 1);
  Raise(0);  // due from the end of that answer
  Write(500, 0);
  Write(1500, 1);
  Answer(1500);
  Advance(7000);
  EXPECT_EQ(Verdicts(), std::vector<V>{V::kOk});
  EXPECT_EQ(Totals().answers, 1);
}

TEST_F(AnswerCheckerTest, WhatTheEndOfTheRunCutsShortIsUnfinishedNotFailed) {
  Raise(0);
  AnswerCut(500, 1);
  Raise(1000);  // during the answer: still awaited at the end
  checker_.Finish(At(1200));
  EXPECT_EQ(Verdicts(), (std::vector<V>{V::kUnfinished, V::kUnfinished}));
  EXPECT_EQ(Totals().unfinished, 2);
  EXPECT_FALSE(Totals().Failed());
}

}  // namespace
}  // namespace quorvane::supervisor
