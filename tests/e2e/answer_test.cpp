// The answer as the supervising side sees it: the real program on the
// simulated port, this test raising the request line and reading every port
// access (with its monotonic time) back from the state file. Every access
// read and every change of the line goes through the supervisor's answer
// checker, which judges the answers; the tests check what it found, and
// what only a test can know (no writes at all, the gap between answers).

#include <gtest/gtest.h>

#include "bench/supervisor/answer_checker.h"
#include "program_run.h"
#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::e2e {
namespace {

using namespace std::chrono_literals;
using simport::Access;
using simport::AccessReader;
using simport::SimulatedPort;
using supervisor::AnswerChecker;
using supervisor::JudgedAnswer;
using supervisor::Tally;
using supervisor::Verdict;

// One-second steps with the tolerance a loaded 2-core machine keeps them in.
constexpr supervisor::CheckerSettings kChecking;
constexpr double kToleranceMs = kChecking.toleranceNs / 1e6;

double Ms(std::uint64_t fromNs, std::uint64_t toNs) {
  return (static_cast<double>(toNs) - static_cast<double>(fromNs)) / 1e6;
}

// From now to a time of the port's record (negative when it has passed).
std::chrono::nanoseconds SinceNow(std::uint64_t timeNs) {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(timeNs) - static_cast<std::int64_t>(simport::NowNs()));
}

bool IsPoll(const Access& a) { return !a.write && a.port == simport::kStatusPort; }

std::string Describe(const std::vector<Access>& accesses) {
  std::ostringstream text;
  for (const Access& a : accesses) text << (a.write ? " W" : " R") << a.port << "=" << a.value;
  return text.str();
}

class Answer : public ::testing::Test {
 protected:
  // Starts the program with status already at initialStatus, and waits for
  // its first poll, so the test begins with the program in its tick loop.
  void Start(std::uint8_t initialStatus = 0x00) {
    port_.SetStatus(initialStatus);
    run_.emplace(folder_);
    ASSERT_TRUE(run_->Started());
    ASSERT_TRUE(NextPoll(3s)) << "the program never polled the request line\n" << run_->Output();
  }

  // Reads on until an access that matches; the checker sees all read.
  std::optional<Access> WaitFor(const std::function<bool(const Access&)>& match, std::chrono::milliseconds timeout,
                                std::vector<Access>* seen = nullptr) {
    std::vector<Access> read;
    const auto found = reader_.WaitFor(match, timeout, &read);
    for (const Access& access : read) checker_->Observe(access);
    if (seen) seen->insert(seen->end(), read.begin(), read.end());
    return found;
  }
  std::optional<Access> NextPoll(std::chrono::milliseconds timeout, std::vector<Access>* seen = nullptr) {
    return WaitFor(IsPoll, timeout, seen);
  }

  // The checker hears of a raise before any poll can see it.
  void Raise(bool expectAnswer = true) {
    checker_->LineRaised(simport::NowNs(), expectAnswer);
    port_.RaiseRequest();
  }
  void Drop() {
    port_.DropRequest();
    checker_->LineDropped(simport::NowNs());
  }

  // Reads until the checker has judged `count` answers (true), or the
  // answers stop coming.
  bool WaitForAnswers(std::size_t count) {
    while (checker_->Totals().judged.size() < count) {
      const std::uint64_t now = simport::NowNs();
      if (!WaitFor(simport::IsWriteTo(simport::kControlPort), 1500ms)) {
        checker_->Advance(now + 1'500'000'000);  // what stopped is judged
        return checker_->Totals().judged.size() >= count;
      }
    }
    return true;
  }

  // Over the next polls the program writes nothing.
  void ExpectQuietFor(int polls) {
    std::vector<Access> seen;
    for (int i = 0; i < polls; ++i) ASSERT_TRUE(NextPoll(2500ms, &seen)) << "the program stopped polling";
    for (const Access& a : seen) EXPECT_FALSE(a.write) << "an unasked write:" << Describe(seen);
  }

  // The run ends here: the checker's totals, with nothing left unjudged,
  // and what it found in Findings().
  const Tally& Judge() {
    const std::uint64_t now = simport::NowNs();
    for (const Access& access : reader_.ReadNew()) checker_->Observe(access);
    checker_->Finish(now);
    for (const supervisor::Finding& finding : checker_->TakeFindings()) {
      findings_ += std::string(supervisor::VerdictName(finding.verdict)) + " " + finding.text + "\n";
    }
    return checker_->Totals();
  }
  const std::string& Findings() const { return findings_; }

  // A checker of its own from now on; what came before is not counted.
  void RestartChecker() {
    supervisor::CheckerSettings settings = kChecking;
    settings.countFromNs = simport::NowNs();
    checker_.emplace(settings);
  }

  WorkFolder folder_;
  SimulatedPort port_{folder_.StatePath().string()};
  AccessReader reader_{port_, true};
  std::optional<ProgramRun> run_;
  std::optional<AnswerChecker> checker_{std::in_place, kChecking};
  std::string findings_;
};

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
  EXPECT_TRUE(run_->StillRunning());

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
  EXPECT_LE(Ms(one.writeNs[answer_pattern::kWrites - 1], two.writeNs[0]), answer_pattern::kStepNs / 1e6 + kToleranceMs) << "the next answer starts at the next tick handled";
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
