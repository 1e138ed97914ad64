// The program's life on a fake front end that records every toolkit call,
// in one list with the port's accesses, so the order of things shows.
#include "core/life/program_life.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/failure.h"
#include "core/status_window/window_description.h"
#include "fake_port.h"
#include "status_window_lookup.h"
#include "temp_folder.h"

namespace quorvane {
namespace {

using Calls = std::vector<std::string>;

class RecordingFrontEnd final : public Window, public EventLoop {
 public:
  explicit RecordingFrontEnd(Calls& calls) : calls_(calls) {}
  void StartTimer() override {
    calls_.push_back("start timer");
    if (onStartTimer) onStartTimer();
  }
  void StopTimer() override { calls_.push_back("stop timer"); }
  void ShowWindow() override { calls_.push_back("show"); }
  void MinimiseWindow() override { calls_.push_back("minimise"); }
  void SetControlText(std::size_t control, const std::string& text) override {
    calls_.push_back(std::string(status_window::kControls[control].name) + " := " + text);
  }
  void WriteErrorLine(const std::string& line) override { calls_.push_back("stderr " + line); }
  void TellPortChoice(const std::string& why) override { calls_.push_back("port " + why); }
  void ShowFailureBox(const std::string& text) override {
    calls_.push_back("box " + text);
    // The box's own event loop: ticks and clicks may arrive in it.
    if (duringBox) duringBox();
  }
  int RunEventLoop() override {
    calls_.push_back("loop");
    if (inLoop) inLoop();
    return loopStatus;
  }
  void EndEventLoop(int status) override { calls_.push_back("end loop " + std::to_string(status)); }

  std::function<void()> onStartTimer, duringBox, inLoop;
  int loopStatus = 0;

 private:
  Calls& calls_;
};

// The port's accesses as the same list writes them.
std::string Described(const testing::Event& access) {
  return access.kind == testing::Event::kRead
             ? "read " + std::to_string(access.port)
             : "write " + std::to_string(access.port) + " " + std::to_string(access.value);
}

// Every test runs in a fresh working folder, where the restart log goes.
struct LifeFixture : ::testing::Test {
  LifeFixture() : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(folder.path());
    clock.local = {2026, 3, 4, 5, 6, 7, 0};
    port.onAccess = [this](const testing::Event& access) { calls.push_back(Described(access)); };
  }
  ~LifeFixture() override { std::filesystem::current_path(previous); }

  // Starts the life and forgets the calls so far.
  void StartWell() {
    ASSERT_TRUE(life.Start());
    calls.clear();
  }

  testing::TempFolder folder;
  std::filesystem::path previous;
  Calls calls;
  testing::FakeClock clock;  // an answer's waits pass in a few thousand reads
  testing::FakePort port;
  testing::FakeSleeper sleeper{clock};
  testing::FakePriority priority;
  RecordingFrontEnd frontEnd{calls};
  ProgramLife life{frontEnd, frontEnd, port, clock, sleeper, priority};
};

TEST_F(LifeFixture, TimerRunsFromTheStartTheWindowShowsOnlyAfterTheStartUpThenTheLoopRuns) {
  frontEnd.loopStatus = 0;
  EXPECT_EQ(life.Run(), 0);
  EXPECT_EQ(calls,
            (Calls{"start timer", "write 890 1", "lastRestartText := 03-04-2026 05:06:07", "show", "loop"}));
  EXPECT_EQ(testing::ReadAll(folder / "Quorvane.log").size(), 21u);
  EXPECT_EQ(life.Text(status_window::kStatusLine), "Active...");
}

TEST_F(LifeFixture, TheLoopsStatusIsTheProgramsOnceTheWindowCloses) {
  frontEnd.loopStatus = 7;
  EXPECT_EQ(life.Run(), 7);
}

struct FailedStartUp {
  const char* what;
  std::function<void()> fail;
  const char* line;
  const char* box;
};

TEST_F(LifeFixture, AFailedStartUpStopsTheTimerReportsAndEndsWithStatus1WithoutShowing) {
  const std::vector<FailedStartUp> table = {
      {"failure", [] { throw Failure("the control register cannot be written"); },
       "quorvane: the control register cannot be written", "The control register cannot be written"},
      {"on several lines",
       [] { throw std::runtime_error("  cannot open Quorvane.log:\n\tPermission denied\n"); },
       "quorvane: cannot open Quorvane.log: Permission denied",
       "Cannot open Quorvane.log: Permission denied"},
      {"empty message", [] { throw std::runtime_error(" \n"); },
       "quorvane: the start-up failed for an unknown reason", "The start-up failed for an unknown reason"},
      {"not an exception", [] { throw 42; }, "quorvane: the start-up failed for an unknown reason",
       "The start-up failed for an unknown reason"},
  };
  for (const FailedStartUp& row : table) {
    SCOPED_TRACE(row.what);
    calls.clear();
    port.onWrite = row.fail;
    RecordingFrontEnd freshFrontEnd{calls};
    ProgramLife freshLife{freshFrontEnd, freshFrontEnd, port, clock, sleeper, priority};
    EXPECT_EQ(freshLife.Run(), 1);
    EXPECT_EQ(calls, (Calls{"start timer", "write 890 1", "stop timer", std::string("stderr ") + row.line,
                            std::string("box ") + row.box}));
  }
  // The port failed first: the restart log was never touched.
  EXPECT_FALSE(std::filesystem::exists(folder / "Quorvane.log"));
}

TEST_F(LifeFixture, ALogThatCannotBeWrittenFailsTheStartUpAfterTheIdleWrite) {
  std::filesystem::create_directory(folder / "Quorvane.log");
  EXPECT_EQ(life.Run(), 1);
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[1], "write 890 1");
  EXPECT_EQ(calls[3], "stop timer");
  EXPECT_NE(calls[4].find("Quorvane.log"), std::string::npos) << calls[4];
  EXPECT_EQ(calls[5].rfind("box ", 0), 0u);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "show"), 0);
}

// --- The port chosen at start-up -----------------------------------------------

TEST_F(LifeFixture, APortChosenElsewhereIsToldOnceAndTheStartUpAndEveryPollAndAnswerUseItsBase) {
  port.chosen = {static_cast<std::int16_t>(0xd010), "using the parallel port parport0 at 0xd010"};
  ASSERT_TRUE(life.Start());
  EXPECT_EQ(calls, (Calls{"start timer", "write -12270 1", "lastRestartText := 03-04-2026 05:06:07",
                          "port using the parallel port parport0 at 0xd010", "show"}))
      << "0xd010 crosses as a negative 16-bit port";
  calls.clear();
  port.RaiseRequestFor(1);
  life.OnPollTick();
  life.OnPollTick();
  const Calls want{"read -12271",
                   "statusLine := Waiting for Request...",
                   "statusLine := Sending Sequence...",
                   "lastRequestText := 05:06:07",
                   "write -12270 0",
                   "write -12270 1",
                   "write -12270 0",
                   "write -12270 1",
                   "read -12271",
                   "statusLine := Waiting for Request..."};
  EXPECT_EQ(calls, want);
  EXPECT_EQ(port.ChoiceCount(), 1) << "the port is chosen once a run";
}

TEST_F(LifeFixture, TheConventionalPortIsNotToldAndNoPortToTakeEndsTheStartBeforeAnyWriteOrLog) {
  port.chosen = {888, ""};
  ASSERT_TRUE(life.Start());
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& c) { return c.rfind("port ", 0) == 0; }),
            0);

  Calls failed;
  testing::FakePort none;
  none.choiceFailure = "no parallel port at 0x378 and 2 others, of which no setting chooses one";
  none.onAccess = [&](const testing::Event& access) { failed.push_back(Described(access)); };
  RecordingFrontEnd other{failed};
  ProgramLife noPort{other, other, none, clock, sleeper, priority};
  std::filesystem::remove(folder.path() / "Quorvane.log");
  EXPECT_EQ(noPort.Run(), 1);
  EXPECT_EQ(failed, (Calls{"start timer", "stop timer", "stderr quorvane: " + none.choiceFailure,
                           "box No parallel port at 0x378 and 2 others, of which no setting chooses one"}));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "Quorvane.log"));
  noPort.OnPollTick();
  EXPECT_EQ(none.ReadCount(), 0) << "no poll without a port";
}

TEST_F(LifeFixture, TicksPollAndOnlyChangedTextsReachTheFrontEnd) {
  StartWell();
  life.OnPollTick();
  life.OnPollTick();
  EXPECT_EQ(calls, (Calls{"read 889", "statusLine := Waiting for Request...", "read 889"}));

  calls.clear();
  port.status = 0x10;
  clock.local.second = 9;
  life.OnPollTick();
  EXPECT_EQ(calls, (Calls{"read 889", "statusLine := Sending Sequence...", "lastRequestText := 05:06:09",
                          "write 890 0", "write 890 1", "write 890 0", "write 890 1"}));
  EXPECT_EQ(life.Text(status_window::IndexOf("lastRequestText")), "05:06:09");
}

TEST_F(LifeFixture, AFailingTickStopsTheTimerReportsAndEndsTheLoopWith1) {
  StartWell();
  port.FailReadsFrom(1);
  life.OnPollTick();
  EXPECT_EQ(calls, (Calls{"read 889", "stop timer", "stderr quorvane: the status register cannot be read",
                          "box The status register cannot be read", "end loop 1"}));
  // Whatever comes after, until the loop has ended, does nothing.
  calls.clear();
  life.OnPollTick();
  life.OkClicked();
  EXPECT_TRUE(calls.empty());
}

TEST_F(LifeFixture, AWriteThatFailsInsideAnAnswerEndsItThereAndTheLoopWith1) {
  StartWell();
  port.status = 0x10;
  port.FailOnlyWrite(2);  // the answer's second write, tried and failed
  life.OnPollTick();
  EXPECT_EQ(calls,
            (Calls{"read 889", "statusLine := Waiting for Request...", "statusLine := Sending Sequence...",
                   "lastRequestText := 05:06:07", "write 890 0", "write 890 1", "stop timer",
                   "stderr quorvane: the control register cannot be written",
                   "box The control register cannot be written", "end loop 1"}));
}

TEST_F(LifeFixture, ARefusedAnswerPriorityIsToldOnceAndTheAnswersGoOnInTheNormalClass) {
  StartWell();
  port.status = 0x10;
  priority.refusal = "the real-time class was refused";
  life.OnPollTick();
  life.OnPollTick();
  const auto told = std::count(calls.begin(), calls.end(),
                               "stderr quorvane: answering in the normal scheduling class: the real-time "
                               "class was refused");
  EXPECT_EQ(told, 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "write 890 0"), 4) << "both answers whole";
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "end loop 1"), 0) << "a refusal is no failure";
}

TEST_F(LifeFixture, AGrantedAnswerPriorityIsTakenForTheAnswerOnlyAndSaysNothing) {
  StartWell();
  port.status = 0x10;
  bool raisedDuringWrites = true;
  port.onWrite = [&] { raisedDuringWrites = raisedDuringWrites && priority.raisedNow; };
  life.OnPollTick();
  EXPECT_TRUE(raisedDuringWrites);
  EXPECT_FALSE(priority.raisedNow) << "put back after the answer";
  for (const std::string& call : calls) EXPECT_EQ(call.rfind("stderr", 0), std::string::npos) << call;
}

// A stop from outside (a signal, the session's end) is a close: status 0.
// One asked in the middle of an answer (from a loop the tick let run) waits
// for the whole answer, which ends at the idle level; after a failure the
// failure's status stands.
TEST_F(LifeFixture, AStopEndsTheLoopWith0ButNeverBeforeTheAnswerUnderWayHasEnded) {
  StartWell();
  life.StopAsked();
  EXPECT_EQ(calls, (Calls{"end loop 0"}));

  calls.clear();
  port.status = 0x10;
  bool asked = false;
  port.onWrite = [&] {
    if (!asked) life.StopAsked();
    asked = true;
  };
  life.OnPollTick();
  const Calls writes{"write 890 0", "write 890 1", "write 890 0", "write 890 1"};
  Calls seen;
  for (const std::string& call : calls)
    if (call.rfind("write", 0) == 0 || call.rfind("end loop", 0) == 0) seen.push_back(call);
  Calls expected = writes;
  expected.push_back("end loop 0");
  EXPECT_EQ(seen, expected);

  calls.clear();
  port.onWrite = nullptr;
  port.FailReadsFrom(1);
  life.OnPollTick();
  calls.clear();
  life.StopAsked();
  EXPECT_EQ(calls, (Calls{"end loop 1"}));
}

TEST_F(LifeFixture, ATimerThatCannotStartFailsTheStartBeforeThePortIsTouched) {
  frontEnd.onStartTimer = [] { throw Failure("cannot make the poll timer: Too many open files"); };
  EXPECT_EQ(life.Run(), 1);
  EXPECT_EQ(calls, (Calls{"start timer", "stop timer",
                          "stderr quorvane: cannot make the poll timer: Too many open files",
                          "box Cannot make the poll timer: Too many open files"}));
  EXPECT_FALSE(std::filesystem::exists(folder / "Quorvane.log"));
}

TEST_F(LifeFixture, ATimerFailureEndsLikeAFailingTickAndOnlyOnce) {
  StartWell();
  life.FrontEndFailed("cannot read the poll timer: Bad file descriptor");
  EXPECT_EQ(calls, (Calls{"stop timer", "stderr quorvane: cannot read the poll timer: Bad file descriptor",
                          "box Cannot read the poll timer: Bad file descriptor", "end loop 1"}));
  calls.clear();
  life.FrontEndFailed("again");
  life.OnPollTick();
  EXPECT_TRUE(calls.empty());
}

TEST_F(LifeFixture, NoTickOrClickRunsInsideTheFailureBoxOfAFailedTick) {
  StartWell();
  port.FailReadsFrom(1);
  frontEnd.duringBox = [&] {
    life.OnPollTick();
    life.OkClicked();
  };
  life.OnPollTick();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "read 889"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "minimise"), 0);
  EXPECT_EQ(calls.back(), "end loop 1");
}

TEST_F(LifeFixture, ATickDeliveredInsideARunningTickIsDropped) {
  StartWell();
  port.status = 0x10;
  int nested = 0;
  port.onWrite = [&] {
    if (nested++ == 0) life.OnPollTick();
  };
  life.OnPollTick();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "read 889"), 1);
  // After it the next tick polls again.
  life.OnPollTick();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "read 889"), 2);
}

TEST_F(LifeFixture, OkOnlyMinimises) {
  StartWell();
  life.OkClicked();
  EXPECT_EQ(calls, (Calls{"minimise"}));
}

// A front end with nothing to show: a display and a loop, no window.
class RecordingDisplay final : public Display, public EventLoop {
 public:
  explicit RecordingDisplay(Calls& calls) : calls_(calls) {}
  void SetControlText(std::size_t control, const std::string& text) override {
    calls_.push_back(std::string(status_window::kControls[control].name) + " := " + text);
  }
  void WriteErrorLine(const std::string& line) override { calls_.push_back("stderr " + line); }
  void StartTimer() override { calls_.push_back("start timer"); }
  void StopTimer() override { calls_.push_back("stop timer"); }
  int RunEventLoop() override {
    calls_.push_back("loop");
    return 0;
  }
  void EndEventLoop(int status) override { calls_.push_back("end loop " + std::to_string(status)); }

 private:
  Calls& calls_;
};

TEST_F(LifeFixture, WithoutAWindowTheLifeShowsAndMinimisesNothingAndAFailureIsItsErrorLine) {
  Calls windowless;
  port.onAccess = [&](const testing::Event& access) { windowless.push_back(Described(access)); };
  RecordingDisplay display{windowless};
  ProgramLife textLife{display, display, port, clock, sleeper, priority};
  EXPECT_EQ(textLife.Run(), 0);
  textLife.OkClicked();
  EXPECT_EQ(windowless,
            (Calls{"start timer", "write 890 1", "lastRestartText := 03-04-2026 05:06:07", "loop"}));

  windowless.clear();
  port.onRead = [] { throw Failure("reading the status lines failed"); };
  textLife.OnPollTick();
  // The default failure box tells nobody more than the error line did.
  EXPECT_EQ(windowless, (Calls{"read 889", "stop timer", "stderr quorvane: reading the status lines failed",
                               "end loop 1"}));
}

TEST(ErrorTexts, LineAndBoxTextOfAMessage) {
  const struct {
    const char* message;
    const char* line;
    const char* box;
  } table[] = {
      {"no parallel port at 0x378", "quorvane: no parallel port at 0x378", "No parallel port at 0x378"},
      {"a\r\nb\n", "quorvane: a b", "A b"},
      {"\xc3\xa9t\xc3\xa9", "quorvane: \xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},  // only ASCII is capitalised
      {"", "quorvane: ", ""},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.message);
    EXPECT_EQ(ErrorLine(row.message), row.line);
    EXPECT_EQ(FailureBoxText(row.message), row.box);
  }
}

}  // namespace
}  // namespace quorvane
