#pragma once

// The supervising side of an end-to-end test: the real program on the
// simulated port, the test raising the request line and reading every port
// access (with its monotonic time) back from the state file. Every access
// read and every change of the line goes through the supervisor's answer
// checker, which judges the answers; the tests check what it found, and
// what only a test can know.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "bench/supervisor/answer_checker.h"
#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"
#include "program_run.h"

namespace quorvane::e2e {

using namespace std::chrono_literals;
using simport::Access;
using simport::AccessReader;
using simport::SimulatedPort;
using supervisor::AnswerChecker;
using supervisor::JudgedAnswer;
using supervisor::Tally;
using supervisor::Verdict;

// One-second steps with the tolerance a loaded 2-core machine keeps them in.
inline constexpr supervisor::CheckerSettings kChecking;
inline constexpr double kToleranceMs = kChecking.toleranceNs / 1e6;

inline double Ms(std::uint64_t fromNs, std::uint64_t toNs) {
  return (static_cast<double>(toNs) - static_cast<double>(fromNs)) / 1e6;
}

// From now to a time of the port's record (negative when it has passed).
inline std::chrono::nanoseconds SinceNow(std::uint64_t timeNs) {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(timeNs) -
                                  static_cast<std::int64_t>(simport::NowNs()));
}

inline bool IsPoll(const Access& a) { return !a.write && a.port == simport::kStatusPort; }

inline std::string Describe(const std::vector<Access>& accesses) {
  std::ostringstream text;
  for (const Access& a : accesses) text << (a.write ? " W" : " R") << a.port << "=" << a.value;
  return text.str();
}

class Answer : public ::testing::Test {
 protected:
  // Starts the program with status already at initialStatus, and waits for
  // its first poll, so the test begins with the program in its tick loop.
  void Start(std::uint8_t initialStatus = 0x00, const RunOptions& options = {}) {
    port_.SetStatus(initialStatus);
    run_.emplace(folder_, options);
    ASSERT_TRUE(run_->Started());
    ASSERT_TRUE(NextPoll(3s)) << "the program never polled the request line\n" << run_->Output();
  }

  // Reads on until an access that matches; the checker sees all read.
  std::optional<Access> WaitFor(const std::function<bool(const Access&)>& match,
                                std::chrono::milliseconds timeout, std::vector<Access>* seen = nullptr) {
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

}  // namespace quorvane::e2e
