#include "core/poll_and_answer/responder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/failure.h"
#include "common/system_clock.h"
#include "common/system_sleeper.h"
#include "fake_port.h"

namespace quorvane {
namespace {

using testing::Event, testing::FakeClock, testing::FakeDisplay, testing::FakePort, testing::FakePriority,
    testing::FakeSleeper;

constexpr std::int64_t kSecond = 1'000'000'000;

struct ResponderFixture : ::testing::Test {
  std::vector<Event> Writes() const { return port.Writes(); }

  std::vector<Event> events;
  FakeClock clock;
  FakePort port{events, &clock};
  FakeDisplay display{events, &clock};
  FakeSleeper sleeper{clock};
  FakePriority priority{&events, &clock};
  Responder responder{port, display, clock, sleeper, priority};
};

TEST_F(ResponderFixture, RaisedRequestIsAnsweredInOrderWithTextsFirst) {
  port.status = 0x10;
  clock.local = {2026, 12, 8, 23, 5, 9, 0};
  responder.OnPollTick();

  const struct {
    Event::Kind kind;
    std::int16_t port, value;
    const char* text;
  } expected[] = {
      {Event::kRead, 889, 0x10, ""},
      {Event::kStatusLine, 0, 0, "Waiting for Request..."},
      {Event::kStatusLine, 0, 0, "Sending Sequence..."},
      {Event::kLastRequest, 0, 0, "23:05:09"},
      {Event::kRaise, 0, 0, ""},
      {Event::kWrite, 890, 0, ""},
      {Event::kWrite, 890, 1, ""},
      {Event::kWrite, 890, 0, ""},
      {Event::kWrite, 890, 1, ""},
      {Event::kRestore, 0, 0, ""},
  };
  ASSERT_EQ(events.size(), std::size(expected));
  for (std::size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i].kind, expected[i].kind);
    EXPECT_EQ(events[i].port, expected[i].port);
    EXPECT_EQ(events[i].value, expected[i].value);
    EXPECT_EQ(events[i].text, expected[i].text);
  }
  EXPECT_EQ(responder.LastPollSawRequest(), true);
  EXPECT_EQ(display.statusLine, "Sending Sequence...");
}

TEST_F(ResponderFixture, WritesAreOneSecondApart) {
  port.status = 0x10;
  responder.PollRequestLine();
  const auto writes = Writes();
  ASSERT_EQ(writes.size(), 4u);
  for (int i = 1; i < 4; ++i) {
    const std::int64_t gap = writes[i].atNs - writes[i - 1].atNs;
    // The wait ends at the first reading a second or more on; the fake clock
    // moves 1 ms a reading, so each step lasts one second plus at most 2 ms.
    EXPECT_GE(gap, kSecond);
    EXPECT_LE(gap, kSecond + 2'000'000);
  }
}

TEST_F(ResponderFixture, OnlyBitFourStartsAnAnswerAcrossAllStatusBytes) {
  for (int status = 0; status < 256; ++status) {
    events.clear();
    port.status = static_cast<std::int16_t>(status);
    display.statusLine.clear();
    display.lastRequest = "08:00:00";
    responder.PollRequestLine();
    const bool request = (status & 0x10) != 0;
    SCOPED_TRACE(status);
    EXPECT_EQ(responder.LastPollSawRequest(), request);
    EXPECT_EQ(Writes().size(), request ? 4u : 0u);
    EXPECT_EQ(display.statusLine, request ? "Sending Sequence..." : "Waiting for Request...");
    EXPECT_EQ(display.lastRequest, request ? "09:30:15" : "08:00:00");
  }
}

TEST_F(ResponderFixture, FlagFollowsEachPollAndHeldLineAnswersEveryTick) {
  port.status = 0x10;
  responder.OnPollTick();
  clock.local.second = 13;
  responder.OnPollTick();
  EXPECT_EQ(Writes().size(), 8u);
  EXPECT_EQ(display.lastRequest, "09:30:13");
  port.status = 0;
  responder.OnPollTick();
  EXPECT_EQ(responder.LastPollSawRequest(), false);
  EXPECT_EQ(Writes().size(), 8u);
}

TEST_F(ResponderFixture, UsesItsPortBaseForBothRegisters) {
  Responder responder{port, display, clock, sleeper, priority, 0x278};
  port.status = 0x10;
  responder.PollRequestLine();
  EXPECT_EQ(events[0].port, 0x279);
  for (const Event& w : Writes()) EXPECT_EQ(w.port, 0x27A);
}

// Each write's time from the answer's first write, in ns.
std::vector<std::int64_t> OffsetsFromFirst(const std::vector<Event>& writes) {
  std::vector<std::int64_t> offsets;
  for (const Event& w : writes) offsets.push_back(w.atNs - writes.front().atNs);
  return offsets;
}

TEST_F(ResponderFixture, WaitIgnoresLocalClockGoingBackAtMidnight) {
  // The local time falls back to midnight during the answer; only the
  // monotonic clock times it.
  port.status = 0x10;
  clock.local = {2026, 12, 8, 23, 59, 59, 900'000'000};
  clock.onMonotonicRead = [this](std::int64_t) { clock.local = {2026, 12, 9, 0, 0, 0, 0}; };
  responder.PollRequestLine();
  const auto offsets = OffsetsFromFirst(Writes());
  ASSERT_EQ(offsets.size(), 4u);
  for (int i = 1; i < 4; ++i) {
    EXPECT_GE(offsets[i], i * kSecond);
    EXPECT_LE(offsets[i], i * kSecond + 2'000'000);
  }
  EXPECT_EQ(display.lastRequest, "23:59:59");
}

TEST_F(ResponderFixture, TimeAWriteTakesDoesNotLengthenTheSteps) {
  // A slow port library (a driver call, a last-error query) spends 30 ms in
  // every write. Each write is still due a whole second after the one
  // before was due, so the answer does not drift by 30 ms a step.
  port.status = 0x10;
  port.onWrite = [this] { clock.monotonicNs += 30'000'000; };
  responder.PollRequestLine();
  const auto offsets = OffsetsFromFirst(Writes());
  ASSERT_EQ(offsets.size(), 4u);
  for (int i = 1; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(offsets[i], i * kSecond);
    EXPECT_LE(offsets[i], i * kSecond + 2'000'000);
  }
}

TEST_F(ResponderFixture, WriteLongerThanAStepIsCaughtUpNotCarriedOn) {
  // The second write takes a second and a half: the third, already overdue,
  // goes at once, and the fourth is back on its due time.
  port.status = 0x10;
  int writesSeen = 0;
  port.onWrite = [&] {
    if (++writesSeen == 2) clock.monotonicNs += 1'500'000'000;
  };
  responder.PollRequestLine();
  const auto offsets = OffsetsFromFirst(Writes());
  ASSERT_EQ(offsets.size(), 4u);
  EXPECT_GE(offsets[2], 2'500'000'000);
  EXPECT_LE(offsets[2], 2'500'000'000 + 2'000'000);
  EXPECT_GE(offsets[3], 3 * kSecond);
  EXPECT_LE(offsets[3], 3 * kSecond + 2'000'000);
}

// Each step's due time in the fake clock's ns: the answer's start is the
// reading just before its first write.
std::int64_t DueNs(const std::vector<Event>& writes, const FakeClock& clock, int step) {
  return writes.front().atNs - clock.stepNs + step * kSecond;
}

TEST_F(ResponderFixture, EachWaitSleepsToTheMarginBeforeItsDueTimeThenWritesOnTime) {
  port.status = 0x10;
  responder.PollRequestLine();
  const auto writes = Writes();
  ASSERT_EQ(writes.size(), 4u);
  ASSERT_EQ(sleeper.sleeps.size(), 3u) << "one sleep a step, none more";
  for (int step = 1; step < 4; ++step) {
    SCOPED_TRACE(step);
    const std::int64_t due = DueNs(writes, clock, step);
    EXPECT_EQ(sleeper.sleeps[step - 1].untilNs, due - sleeper.marginNs);
    // Never before the due time, and at the first reading at or past it
    // (which the fake clock moves on by a reading's step).
    EXPECT_GE(writes[step].atNs, due);
    EXPECT_LE(writes[step].atNs, due + 2 * clock.stepNs);
  }
  // Only the margin is spun: a few readings a step, not a second's worth.
  EXPECT_LE(clock.monotonicReads, 3 * (sleeper.marginNs / clock.stepNs + 3) + 1);
}

TEST_F(ResponderFixture, NoWriteComesBeforeItsDueTimeHoweverLateTheSleepsEnd) {
  port.status = 0x10;
  const std::int64_t margin = sleeper.marginNs;
  for (const std::int64_t lateness :
       {std::int64_t{0}, margin / 2, margin - clock.stepNs, margin, 3 * margin}) {
    SCOPED_TRACE(lateness);
    events.clear();
    sleeper.sleeps.clear();
    sleeper.latenessNs = lateness;
    responder.PollRequestLine();
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 4u);
    for (int step = 1; step < 4; ++step) {
      const std::int64_t due = DueNs(writes, clock, step);
      EXPECT_GE(writes[step].atNs, due);
      // Woken within the margin, the step is on time; woken later, the write
      // follows at once and no second sleep is taken.
      const std::int64_t late = std::max<std::int64_t>(0, lateness - margin);
      EXPECT_LE(writes[step].atNs, due + late + 2 * clock.stepNs);
    }
    EXPECT_EQ(sleeper.sleeps.size(), 3u);
  }
}

TEST_F(ResponderFixture, AStepAlreadyDueIsWrittenWithoutSleepingAndTheNextSleepsToItsOwnTime) {
  // The second write takes a second and a half: the third is overdue and
  // goes without a sleep; the fourth sleeps to its margin and is on time.
  port.status = 0x10;
  int writesSeen = 0;
  port.onWrite = [&] {
    if (++writesSeen == 2) clock.monotonicNs += 1'500'000'000;
  };
  responder.PollRequestLine();
  const auto writes = Writes();
  ASSERT_EQ(writes.size(), 4u);
  ASSERT_EQ(sleeper.sleeps.size(), 2u);
  // The write is stamped as it starts, before its second and a half.
  EXPECT_LE(writes[2].atNs - writes[1].atNs, 1'500'000'000 + 2 * clock.stepNs)
      << "the overdue write went at once";
  EXPECT_EQ(sleeper.sleeps[1].untilNs, DueNs(writes, clock, 3) - sleeper.marginNs);
  EXPECT_GE(writes[3].atNs, DueNs(writes, clock, 3));
  EXPECT_LE(writes[3].atNs, DueNs(writes, clock, 3) + 2 * clock.stepNs);
}

TEST_F(ResponderFixture, PriorityAndPreciseSleepsSpanTheAnswerAndArePutBackWhenAWriteFails) {
  port.status = 0x10;
  port.FailOnlyWrite(2);
  EXPECT_THROW(responder.PollRequestLine(), Failure);
  EXPECT_EQ(sleeper.spansBegun, 1);
  EXPECT_EQ(sleeper.spansEnded, 1);
  EXPECT_FALSE(priority.raisedNow);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().kind, Event::kRestore);
}

TEST(ResponderRealClock, StepsLastAboutOneSecond) {
  // Against the machine's clock: no write comes before its due time and,
  // even on a loaded machine, none much after it.
  SystemClock clock;
  std::vector<std::int64_t> writesNs;
  std::vector<Event> events;
  FakePort port{events};
  port.status = 0x10;
  port.onWrite = [&] { writesNs.push_back(clock.MonotonicNanoseconds()); };
  FakeDisplay display{events};
  const auto sleeper = MakeSystemSleeper();
  FakePriority priority;
  Responder responder{port, display, clock, *sleeper, priority};
  // The answer's start lies between this reading and the first write's.
  const std::int64_t before = clock.MonotonicNanoseconds();
  responder.PollRequestLine();
  ASSERT_EQ(writesNs.size(), 4u);
  for (int i = 1; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(writesNs[i] - before, i * kSecond);
    EXPECT_LT(writesNs[i] - writesNs[0], i * kSecond + 250'000'000);
  }
}

struct FailingDisplay final : StatusDisplay {
  void SetStatusLine(const std::string&) override { throw Failure("display gone"); }
  void SetLastRestartText(const std::string&) override {}
  void SetLastRequestText(const std::string&) override {}
};

TEST(ResponderFailures, DisplayFailureStopsThePollBeforeAnyWrite) {
  std::vector<Event> events;
  FakePort port{events};
  port.status = 0x10;
  FailingDisplay display;
  FakeClock clock;
  FakeSleeper sleeper{clock};
  FakePriority priority;
  Responder responder{port, display, clock, sleeper, priority};
  EXPECT_THROW(responder.OnPollTick(), Failure);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, Event::kRead);
}

}  // namespace
}  // namespace quorvane
