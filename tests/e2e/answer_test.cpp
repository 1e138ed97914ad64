// The answer as the supervising side sees it: the real program on the
// simulated port, this test raising the request line and reading every port
// access (with its CLOCK_MONOTONIC time) back from the state file.

#include <gtest/gtest.h>

#include "program_run.h"
#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::e2e {
namespace {

using namespace std::chrono_literals;
using simport::Access;
using simport::AccessReader;
using simport::SimulatedPort;

// A loaded 2-core machine keeps the program's one-second steps within this.
constexpr double kStepToleranceMs = 50.0;

double Ms(std::uint64_t fromNs, std::uint64_t toNs) {
  return (static_cast<double>(toNs) - static_cast<double>(fromNs)) / 1e6;
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

  std::optional<Access> NextPoll(std::chrono::milliseconds timeout, std::vector<Access>* seen = nullptr) {
    return reader_.WaitFor(IsPoll, timeout, seen);
  }

  // The four writes of one answer to port 890, the first of which is given.
  std::vector<Access> RestOfAnswer(const Access& first, std::vector<Access>* seen = nullptr) {
    std::vector<Access> writes{first};
    for (int i = 0; i < 3; ++i) {
      const auto next = reader_.WaitFor(simport::IsWriteTo(simport::kControlPort), 1500ms, seen);
      if (!next) break;
      writes.push_back(*next);
    }
    return writes;
  }

  void ExpectWholeAnswer(const std::vector<Access>& writes) {
    ASSERT_EQ(writes.size(), 4u) << "the answer stopped after " << writes.size() << " writes";
    const std::int16_t pattern[] = {0, 1, 0, 1};
    for (std::size_t i = 0; i < 4; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(writes[i].value, pattern[i]);
      if (i > 0) {
        EXPECT_NEAR(Ms(writes[i - 1].timeNs, writes[i].timeNs), 1000.0, kStepToleranceMs);
      }
    }
  }

  // Over the next polls the program writes nothing.
  void ExpectQuietFor(int polls) {
    std::vector<Access> seen;
    for (int i = 0; i < polls; ++i) ASSERT_TRUE(NextPoll(2500ms, &seen)) << "the program stopped polling";
    for (const Access& a : seen) EXPECT_FALSE(a.write) << "an unasked write:" << Describe(seen);
  }

  WorkFolder folder_;
  SimulatedPort port_{folder_.StatePath().string()};
  AccessReader reader_{port_, true};
  std::optional<ProgramRun> run_;
};

TEST_F(Answer, OneRequestGivesOneWholeAnswerEndingAtIdle) {
  Start();
  const auto raisedNs = simport::NowNs();
  port_.RaiseRequest();
  std::vector<Access> before;
  const auto first = reader_.WaitFor(simport::IsWriteTo(simport::kControlPort), 2500ms, &before);
  port_.DropRequest();
  ASSERT_TRUE(first) << "the raised request line was not answered\n" << run_->Output();
  // The poll that saw the request, right before the first edge.
  ASSERT_GE(before.size(), 2u);
  const Access& poll = before[before.size() - 2];
  EXPECT_TRUE(IsPoll(poll) && (poll.value & simport::kRequestBit)) << Describe(before);
  EXPECT_GT(poll.timeNs, raisedNs);
  EXPECT_LT(Ms(poll.timeNs, first->timeNs), kStepToleranceMs) << "the answer starts right after the poll";

  std::vector<Access> during;
  ExpectWholeAnswer(RestOfAnswer(*first, &during));
  for (const Access& a : during) EXPECT_EQ(a.port, simport::kControlPort) << "no poll inside an answer";
  EXPECT_EQ(port_.Control(), 0x01);
  // The line is low again: one request, one answer.
  ExpectQuietFor(2);
  EXPECT_TRUE(run_->StillRunning());
}

TEST_F(Answer, HeldRequestGivesAnswersBackToBack) {
  Start();
  port_.RaiseRequest();
  const auto first = reader_.WaitFor(simport::IsWriteTo(simport::kControlPort), 2500ms);
  ASSERT_TRUE(first) << run_->Output();
  const auto one = RestOfAnswer(*first);
  ExpectWholeAnswer(one);
  ASSERT_EQ(one.size(), 4u);

  // The tick that fell due during the answer is handled right after it and
  // finds the line still raised.
  std::vector<Access> between;
  const auto next = reader_.WaitFor(simport::IsWriteTo(simport::kControlPort), 2500ms, &between);
  ASSERT_TRUE(next) << "no second answer while the line stayed raised";
  const auto two = RestOfAnswer(*next);
  port_.DropRequest();
  ExpectWholeAnswer(two);
  EXPECT_LE(Ms(one.back().timeNs, two.front().timeNs), 1000.0 + kStepToleranceMs)
      << "the next answer starts at the next tick handled";
  EXPECT_EQ(std::count_if(between.begin(), between.end(), IsPoll), 1) << Describe(between);

  // Once dropped, at most the answer under way finishes, then quiet.
  reader_.WaitFor([](const Access& a) { return IsPoll(a) && !(a.value & simport::kRequestBit); }, 6s);
  ExpectQuietFor(1);
  EXPECT_EQ(port_.Control(), 0x01);
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
    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(poll->timeNs)) + 300ms);
    const auto raisedNs = simport::NowNs();
    port_.RaiseRequest();
    std::this_thread::sleep_for(300ms);
    port_.DropRequest();
    const auto droppedNs = simport::NowNs();

    std::vector<Access> seen;
    const auto after = NextPoll(2500ms, &seen);
    ASSERT_TRUE(after);
    placed = std::none_of(seen.begin(), seen.end(), [&](const Access& a) {
      return IsPoll(a) && a.timeNs >= raisedNs && a.timeNs <= droppedNs;
    });
    if (placed) {
      EXPECT_FALSE(after->value & simport::kRequestBit);
    } else {
      // A poll fell inside the pulse and rightly answered it: let that pass.
      std::this_thread::sleep_for(4s);
      reader_.ReadNew();
    }
  }
  ASSERT_TRUE(placed) << "could not place the pulse between two polls";
  ExpectQuietFor(2);
}

}  // namespace
}  // namespace quorvane::e2e
