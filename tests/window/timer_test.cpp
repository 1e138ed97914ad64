// Timer1 in real time: when its ticks come, and what happens to a tick that
// falls due while an answer holds the window's thread.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <string>

#include "common/system_clock.h"
#include "window/form1_description.h"
#include "window/qt/form1.h"
#include "fakes.h"
#include "window_test_support.h"

namespace quorvane {
namespace {

using testing::FailingPort;
using testing::ProcessEventsUntil;
using testing::ScriptedPort;

TEST(Timer1, ATickDueDuringAnAnswerComesOnceAfterItAndMissedTicksAreDropped) {
  SystemClock clock;  // the answer's three one-second waits are real
  ScriptedPort port;
  port.raisedPolls = 1;
  Form1 form(port, clock);
  form.Variables().PortBase = 888;
  form.StartTimer();
  form.show();
  // The poll that answers, the late tick, and the next regular one.
  ASSERT_TRUE(ProcessEventsUntil([&] { return port.readTimesMs.size() >= 3; }, 8000));
  ASSERT_EQ(port.writeTimesMs.size(), 4u);
  const std::int64_t answerEnd = port.writeTimesMs.back();
  EXPECT_GE(answerEnd - port.readTimesMs[0], 2990);
  // Two ticks fell due during the answer; one of them is delivered at once.
  EXPECT_GE(port.readTimesMs[1], answerEnd);
  EXPECT_LE(port.readTimesMs[1] - answerEnd, 150);
  // The other is not made up: the next tick is a whole period later.
  const std::int64_t gap = port.readTimesMs[2] - port.readTimesMs[1];
  EXPECT_GE(gap, 800);
  EXPECT_LE(gap, 1300);
}

// Dismisses the failure box as soon as it shows, remembering what it said.
struct FailureBoxWatcher {
  FailureBoxWatcher() {
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->objectName() == form1::kFailureBoxName && box->isVisible()) {
          caption = box->windowTitle();
          text = box->text();
          box->accept();
        }
      }
    });
    poll.start();
  }
  QTimer poll;
  QString caption, text;
};

TEST(Timer1, AFailingTickStopsTheTimerShowsTheFailureAndEndsTheLoopWithStatus1) {
  SystemClock clock;
  FailingPort port;
  Form1 form(port, clock);
  form.StartTimer();
  form.show();
  FailureBoxWatcher watcher;
  QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });  // never hang
  ::testing::internal::CaptureStderr();
  const int status = QApplication::exec();
  const std::string stderrText = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(form.findChild<QTimer*>("Timer1")->isActive());
  EXPECT_EQ(watcher.caption, form1::kCaption);
  EXPECT_EQ(watcher.text, "The status register cannot be read");
  // The platform may add notes of its own; ours is the first line.
  EXPECT_EQ(stderrText.substr(0, stderrText.find('\n') + 1),
            "quorvane: the status register cannot be read\n");
}

// The whole run as the program's entry makes it, with a start-up that fails:
// the box names the failure, the window never shows, and the status is 1.
TEST(Timer1, AFailedLoadStopsTheTimerAndNeverShowsTheWindow) {
  SystemClock clock;
  FailingPort port;
  Form1 form(port, clock);
  FailureBoxWatcher watcher;
  ::testing::internal::CaptureStderr();
  const int status = form.Life().Run();
  const std::string stderrText = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.findChild<QTimer*>("Timer1")->isActive());
  EXPECT_EQ(watcher.text, "The control register cannot be written");
  EXPECT_EQ(stderrText.substr(0, stderrText.find('\n') + 1),
            "quorvane: the control register cannot be written\n");
}

}  // namespace
}  // namespace quorvane
