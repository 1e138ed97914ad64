// When each pattern raises and drops the request line, fed with made-up
// polls and writes; times in milliseconds from the start of the run.

#include "bench/supervisor/request_pattern.h"

#include <gtest/gtest.h>

namespace quorvane::supervisor {
namespace {

constexpr std::uint64_t kMs = 1'000'000;
constexpr std::uint64_t kStartNs = 700'000 * kMs;

std::uint64_t At(double ms) { return kStartNs + static_cast<std::int64_t>(ms * kMs); }

class PatternRun {
 public:
  explicit PatternRun(PatternSettings settings) : pattern_(settings, kStartNs) {}
  void Poll(double ms, std::int16_t status) { pattern_.Observe({sequence_++, At(ms), false, 889, status}); }
  void Write(double ms, std::int16_t value) { pattern_.Observe({sequence_++, At(ms), true, 890, value}); }
  LineChange At_(double ms) { return pattern_.Decide(At(ms)); }
  // The first change from..to, stepping a millisecond at a time; its time in *when.
  LineChange Next(double from, double to, double* when = nullptr) {
    for (double ms = from; ms <= to; ms += 1) {
      if (const LineChange change = pattern_.Decide(At(ms)); change != LineChange::kNone) {
        if (when) *when = ms;
        return change;
      }
    }
    return LineChange::kNone;
  }
  RequestPattern& Pattern() { return pattern_; }

 private:
  RequestPattern pattern_;
  std::uint64_t sequence_ = 0;
};

PatternSettings Settings(PatternKind kind, int count) {
  PatternSettings settings;
  settings.kind = kind;
  settings.count = count;
  settings.periodNs = 5000 * kMs;
  settings.holdNs = 7000 * kMs;
  settings.pulseNs = 300 * kMs;
  return settings;
}

TEST(RequestPattern, OnceDropsTheLineWhenTheAnswerBeginsNotOnAWriteOfAnEarlierAnswer) {
  PatternRun run(Settings(PatternKind::kOnce, 1));
  EXPECT_EQ(run.At_(0), LineChange::kRaiseRequest);
  run.Write(100, 1);  // the end of an answer that was running: no poll has seen the line yet
  EXPECT_EQ(run.At_(101), LineChange::kNone);
  run.Poll(150, 0x10);
  run.Write(150, 0);
  EXPECT_EQ(run.At_(151), LineChange::kDrop);
  EXPECT_TRUE(run.Pattern().Finished());
  EXPECT_EQ(run.Next(152, 20000), LineChange::kNone) << "once means one request";
}

TEST(RequestPattern, EveryRaisesOnItsGridSkipsARaiseWhileTheLineIsUpAndStopsAtTheCount) {
  PatternSettings settings = Settings(PatternKind::kEvery, 3);
  settings.periodNs = 2000 * kMs;  // shorter than the deadline
  PatternRun run(settings);
  EXPECT_EQ(run.At_(0), LineChange::kRaiseRequest);
  double when = 0;
  EXPECT_EQ(run.Next(1, 10000, &when), LineChange::kDrop);  // unanswered: dropped at the deadline
  EXPECT_EQ(when, 3000);
  EXPECT_EQ(run.Next(3001, 10000, &when), LineChange::kRaiseRequest);
  EXPECT_EQ(when, 4000) << "the raise due at 2 s fell while the line was up";
  run.Poll(4400, 0x10);
  run.Write(4400, 0);
  EXPECT_EQ(run.Next(4400, 10000, &when), LineChange::kDrop);
  EXPECT_EQ(run.Next(4401, 10000, &when), LineChange::kRaiseRequest);
  EXPECT_EQ(when, 6000);
  EXPECT_EQ(run.Next(6001, 20000, &when), LineChange::kDrop);
  EXPECT_TRUE(run.Pattern().Finished());
  EXPECT_EQ(run.Next(9001, 20000), LineChange::kNone);
}

TEST(RequestPattern, HoldKeepsTheLineUpThroughAnswers) {
  PatternRun run(Settings(PatternKind::kHold, 1));
  EXPECT_EQ(run.At_(0), LineChange::kRaiseRequest);
  run.Poll(300, 0x10);
  run.Write(300, 0);
  double when = 0;
  EXPECT_EQ(run.Next(301, 20000, &when), LineChange::kDrop);
  EXPECT_EQ(when, 7000);
  EXPECT_TRUE(run.Pattern().Finished());
}

TEST(RequestPattern, APulseIsCentredBetweenTwoPollsOneTickApart) {
  PatternRun run(Settings(PatternKind::kPulse, 1));
  run.Poll(200, 0);
  EXPECT_EQ(run.Next(0, 1199), LineChange::kNone) << "one poll gives no phase";
  run.Poll(1200, 0);
  double when = 0;
  EXPECT_EQ(run.Next(1200, 3000, &when), LineChange::kRaisePulse);
  EXPECT_EQ(when, 1550);  // 350 ms after the poll, 350 ms before the next
  EXPECT_EQ(run.Next(1551, 3000, &when), LineChange::kDrop);
  EXPECT_EQ(when, 1850);
  EXPECT_FALSE(run.Pattern().Finished()) << "an answer to it may still come";
  EXPECT_EQ(run.Next(1851, 4849), LineChange::kNone);
  EXPECT_EQ(run.At_(4851), LineChange::kNone) << "one pulse only";
  EXPECT_TRUE(run.Pattern().Finished());
  EXPECT_EQ(run.Pattern().UnplacedPulses(), 0);
}

TEST(RequestPattern, APulseWaitsForTheNextGapWhenLateAndForEvenPollsAfterAnAnswer) {
  PatternRun run(Settings(PatternKind::kPulse, 1));
  run.Poll(0, 0);
  run.Poll(1000, 0);
  EXPECT_EQ(run.At_(1400), LineChange::kNone) << "50 ms past its moment: too close to the next poll";
  run.Poll(2000, 0);
  run.Write(2000, 0);  // an answer moves the polls
  EXPECT_EQ(run.Next(2001, 5000), LineChange::kNone);
  run.Poll(5000, 0);
  run.Poll(6000, 0);
  double when = 0;
  EXPECT_EQ(run.Next(6000, 7000, &when), LineChange::kRaisePulse);
  EXPECT_EQ(when, 6350);
}

TEST(RequestPattern, APulseWithNoEvenPollsIsReportedAsNotPlaced) {
  PatternRun run(Settings(PatternKind::kPulse, 1));
  run.Poll(0, 0);
  run.Poll(1500, 0);  // not one tick apart
  EXPECT_EQ(run.Next(0, 7000), LineChange::kNone);
  EXPECT_FALSE(run.Pattern().Finished());
  run.At_(7001);  // waited the deadline and four ticks
  EXPECT_EQ(run.Pattern().UnplacedPulses(), 1);
  EXPECT_TRUE(run.Pattern().Finished());
  const auto notes = run.Pattern().TakeNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_TRUE(notes[0].error);
}

}  // namespace
}  // namespace quorvane::supervisor
