// The poll timer in real time: when its ticks come, what happens to the ticks that
// fall due while an answer holds the window's thread, and how it stops.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "common/failure.h"
#include "common/system_clock.h"
#include "core/status_window/window_description.h"
#include "fake_port.h"
#include "front_ends/qt/status_window.h"
#include "front_ends/qt/window_timer.h"
#include "window_test_support.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::FakePort;
using testing::ProcessEventsUntil;
using testing::SteadyMs;

WindowTimer* PollTimerOf(const StatusWindow& form) {
  return form.findChild<WindowTimer*>(status_window::kPollTimer.name);
}

TEST(PollTimer, TheFirstTickComesAboutASecondAfterTheWindowIsMade) {
  SystemClock clock;
  FakePort port;
  const std::int64_t made = SteadyMs();
  StatusWindow form(port, clock);
  form.StartTimer();
  form.show();
  ASSERT_TRUE(ProcessEventsUntil([&] { return port.ReadCount() > 0; }, 5000));
  const std::int64_t firstTick = port.ReadTimesMs()[0] - made;
  EXPECT_GE(firstTick, 990);
  EXPECT_LE(firstTick, 1500);
  EXPECT_EQ(form.findChild<QLabel*>("statusLine")->text(), "Waiting for Request...");
}

TEST(PollTimer, ATickDueDuringAnAnswerComesOnceAfterItAndMissedTicksAreDropped) {
  SystemClock clock;  // the answer's three one-second waits are real
  FakePort port;
  port.RaiseRequestFor(1);
  StatusWindow form(port, clock);
  form.StartTimer();
  form.show();
  // The poll that answers, the late tick, and the next regular one.
  ASSERT_TRUE(ProcessEventsUntil([&] { return port.ReadCount() >= 3; }, 8000));
  const std::vector<std::int64_t> reads = port.ReadTimesMs(), writes = port.WriteTimesMs();
  ASSERT_EQ(writes.size(), 4u);
  const std::int64_t answerEnd = writes.back();
  EXPECT_GE(answerEnd - reads[0], 2990);
  // Three ticks fell due during the answer; one of them is delivered at once.
  EXPECT_GE(reads[1], answerEnd);
  EXPECT_LE(reads[1] - answerEnd, 150);
  // The others are not made up: the next tick is a whole period later.
  const std::int64_t gap = reads[2] - reads[1];
  EXPECT_GE(gap, 800);
  EXPECT_LE(gap, 1300);
}

TEST(PollTimer, ManyPeriodsDueAtOnceMakeOneTickAndAStoppedTimerMakesNone) {
  WindowTimer timer(200ms, nullptr);
  int ticks = 0;
  QObject::connect(&timer, &WindowTimer::timeout, [&] { ++ticks; });
  QElapsedTimer sinceStart;
  sinceStart.start();
  timer.start();
  // Nothing comes before the loop runs; by then three periods are due.
  std::this_thread::sleep_for(700ms);
  EXPECT_EQ(ticks, 0);
  ASSERT_TRUE(ProcessEventsUntil([&] { return ticks > 0; }, 1000));
  EXPECT_LT(sinceStart.elapsed(), 800) << "the due tick waited for the next period";
  ASSERT_TRUE(ProcessEventsUntil([&] { return ticks > 1; }, 1000));
  EXPECT_EQ(ticks, 2);
  EXPECT_GE(sinceStart.elapsed(), 799);  // the next whole period: nothing was made up

  timer.stop();
  EXPECT_FALSE(timer.isActive());
  EXPECT_FALSE(ProcessEventsUntil([&] { return ticks > 2; }, 600));
}

// A run of the loop (or of the whole life) that ends the program: its
// status, and the first line it wrote to standard error (the platform may
// add notes of its own after ours).
struct Ending {
  int status;
  std::string firstErrorLine;
};
Ending RunCapturingStderr(const std::function<int()>& run) {
  ::testing::internal::CaptureStderr();
  const int status = run();
  const std::string text = ::testing::internal::GetCapturedStderr();
  return {status, text.substr(0, text.find('\n') + 1)};
}

// Dismisses the failure box once it has been up for `keepOpenMs`,
// remembering what it said.
struct FailureBoxWatcher {
  explicit FailureBoxWatcher(int keepOpenMs = 0) {
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [this, keepOpenMs] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || box->objectName() != status_window::kFailureBoxName || !box->isVisible()) continue;
        if (!shown.isValid()) shown.start();
        if (shown.elapsed() < keepOpenMs) continue;
        caption = box->windowTitle();
        text = box->text();
        box->accept();
      }
    });
    poll.start();
  }
  QTimer poll;
  QElapsedTimer shown;
  QString caption, text;
};

TEST(PollTimer, AFailingTickStopsTheTimerShowsTheFailureAndEndsTheLoopWithStatus1) {
  SystemClock clock;
  FakePort port;
  port.FailReadsFrom(1);
  StatusWindow form(port, clock);
  form.StartTimer();
  form.show();
  // The box stays up for more than two periods: no tick may poll behind it.
  FailureBoxWatcher watcher(2500);
  QTimer::singleShot(15000, [] { QCoreApplication::exit(99); });  // never hang
  const Ending ending = RunCapturingStderr(QApplication::exec);
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(port.ReadCount(), 1);
  EXPECT_EQ(port.WriteCount(), 0);
  EXPECT_FALSE(PollTimerOf(form)->isActive());
  EXPECT_EQ(watcher.caption, status_window::kCaption);
  EXPECT_EQ(watcher.text, "The status register cannot be read");
  EXPECT_EQ(ending.firstErrorLine, "quorvane: the status register cannot be read\n");
}

// The timerfds this process has open.
std::set<int> OpenTimerDescriptors() {
  std::set<int> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(entry.path(), error);
    if (!error && target == "anon_inode:[timerfd]") found.insert(std::stoi(entry.path().filename().string()));
  }
  return found;
}

TEST(PollTimer, ATimerThatCannotBeReadStopsAndEndsTheProgramLikeAFailingTick) {
  SystemClock clock;
  FakePort port;
  StatusWindow form(port, clock);
  const std::set<int> before = OpenTimerDescriptors();
  form.StartTimer();
  std::set<int> created = OpenTimerDescriptors();
  for (const int descriptor : before) created.erase(descriptor);
  ASSERT_EQ(created.size(), 1u);
  // Something else behind the poll timer's descriptor: it wakes the loop but cannot be read.
  const int notReadable = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(notReadable, 0);
  ASSERT_GE(::dup2(notReadable, *created.begin()), 0);
  ::close(notReadable);
  form.show();
  FailureBoxWatcher watcher;
  QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });  // never hang
  const Ending ending = RunCapturingStderr(QApplication::exec);
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(port.ReadCount(), 0);
  EXPECT_FALSE(PollTimerOf(form)->isActive());
  EXPECT_EQ(watcher.text, "Cannot read the poll timer: Bad file descriptor");
  EXPECT_EQ(ending.firstErrorLine, "quorvane: cannot read the poll timer: Bad file descriptor\n");
}

// The whole run as the program's entry makes it, with a start-up that fails:
// the box names the failure, the window never shows, and the status is 1.
TEST(PollTimer, AFailedStartUpStopsTheTimerAndNeverShowsTheWindow) {
  SystemClock clock;
  FakePort port;
  port.FailEverything();
  StatusWindow form(port, clock);
  FailureBoxWatcher watcher;
  const Ending ending = RunCapturingStderr([&] { return form.Life().Run(); });
  EXPECT_EQ(ending.status, 1);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(PollTimerOf(form)->isActive());
  EXPECT_EQ(watcher.text, "The control register cannot be written");
  EXPECT_EQ(ending.firstErrorLine, "quorvane: the control register cannot be written\n");
}

}  // namespace
}  // namespace quorvane
