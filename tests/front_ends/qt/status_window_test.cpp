#include "front_ends/qt/status_window.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/status_window/window_description.h"
#include "fake_port.h"
#include "front_ends/qt/window_timer.h"
#include "temp_folder.h"

namespace quorvane {
namespace {

using testing::FakeClock;
using testing::FakePort;

QLabel* LabelOf(const StatusWindow& form, const char* name) { return form.findChild<QLabel*>(name); }

struct StatusWindowFixture : ::testing::Test {
  StatusWindowFixture() {
    clock.local = {2026, 12, 8, 10, 11, 12, 0};
    // As after a start-up: the poll timer runs.
    form.StartTimer();
  }
  // Runs one tick's handler as the poll timer would.
  void Tick() { ASSERT_TRUE(QMetaObject::invokeMethod(&form, "OnPollTick")); }
  QLabel* Label(const char* name) const { return LabelOf(form, name); }
  QPushButton* Ok() const { return form.findChild<QPushButton*>("okButton"); }
  WindowTimer* Timer() const { return form.findChild<WindowTimer*>("pollTimer"); }
  void ShowAndWait() {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }

  FakeClock clock;  // an answer's waits pass in a few thousand reads
  FakePort port;
  StatusWindow form{port, clock};
};

TEST_F(StatusWindowFixture, WindowAndControlsHaveTheirCaptionSizePlacesAndTexts) {
  EXPECT_EQ(form.windowTitle(), status_window::kCaption);
  // 4680 x 1635 twips, fixed.
  EXPECT_EQ(form.size(), QSize(312, 109));
  EXPECT_EQ(form.minimumSize(), QSize(312, 109));
  EXPECT_EQ(form.maximumSize(), QSize(312, 109));

  struct Expected {
    const char* name;
    const char* text;
    QRect pixels;
  };
  // Tab order, with each box in twips divided by 15.
  const std::vector<Expected> table = {
      {"statusLine", "Active...", {56, 32, 193, 33}},
      {"statusHeading", "Status", {56, 16, 41, 17}},
      {"okButton", "OK", {256, 88, 49, 17}},
      {"lastRestartHeading", "Last Restart:", {8, 88, 65, 17}},
      {"lastRestartText", "", {72, 88, 113, 17}},
      {"lastRequestText", "", {80, 72, 49, 17}},
      {"lastRequestHeading", "Last Request:", {8, 72, 73, 17}},
  };
  const QList<QWidget*> children = form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_EQ(children.size(), qsizetype(table.size()));
  // The focus chain follows the tab order.
  QWidget* inChain = form.nextInFocusChain();
  for (std::size_t i = 0; i < table.size(); ++i, inChain = inChain->nextInFocusChain()) {
    SCOPED_TRACE(table[i].name);
    QWidget* control = children[qsizetype(i)];
    EXPECT_EQ(control->objectName(), table[i].name);
    EXPECT_EQ(inChain, control);
    EXPECT_EQ(control->geometry(), table[i].pixels);
    if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_EQ(label->text(), table[i].text);
      EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    } else {
      auto* button = qobject_cast<QPushButton*>(control);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->text(), table[i].text);
      EXPECT_TRUE(button->isDefault());
      EXPECT_NE(button->focusPolicy(), Qt::NoFocus);
    }
  }
  ASSERT_NE(Timer(), nullptr);
  EXPECT_EQ(Timer()->interval(), std::chrono::seconds(1));
}

// The fonts are chosen as the window first shows (after the start-up work,
// which they would otherwise delay).
TEST_F(StatusWindowFixture, StatusLineFontKeepsTheLongestTextsWhollyInItsBox) {
  ShowAndWait();
  const QFont font = Label("statusLine")->font();
  std::printf("status line font: %s %.2f pt (Qt reports %d px high)\n", qPrintable(font.family()),
              font.pointSizeF(), QFontMetrics(font).height());
  EXPECT_EQ(font.weight(), QFont::Normal);
  EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut());
  if (QFontDatabase::families().contains("Freehand575 BT")) {
    EXPECT_EQ(font.family(), "Freehand575 BT");
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 21.75);
  } else {
    const QFontMetrics metrics(font);
    const QSize box = Label("statusLine")->contentsRect().size();
    for (const char* text : {"Waiting for Request...", "Sending Sequence...", "Active..."}) {
      SCOPED_TRACE(text);
      EXPECT_LE(metrics.horizontalAdvance(text), box.width());
      EXPECT_LE(metrics.boundingRect(text).right(), box.width());
    }
    EXPECT_LE(metrics.height(), box.height());
    // Not shrunk further than needed: a quarter point more would not fit.
    QFont larger = font;
    larger.setPointSizeF(font.pointSizeF() + 0.25);
    const QFontMetrics largerMetrics(larger);
    EXPECT_GT(std::max(largerMetrics.horizontalAdvance("Waiting for Request..."),
                       largerMetrics.horizontalAdvance("Sending Sequence...")),
              box.width());
  }
  EXPECT_EQ(Label("statusLine")->palette().color(QPalette::WindowText), QColor(255, 0, 255));
}

TEST_F(StatusWindowFixture, OtherControlsShareTheWindowFontAndHoldTheirWidestTexts) {
  ShowAndWait();
  for (QWidget* control : {static_cast<QWidget*>(Label("statusHeading")), static_cast<QWidget*>(Ok()),
                           static_cast<QWidget*>(Label("lastRestartHeading")),
                           static_cast<QWidget*>(Label("lastRequestHeading"))})
    EXPECT_EQ(control->font(), form.font()) << control->objectName().toStdString();
  std::printf("window font: %s %.2f pt\n", qPrintable(form.font().family()), form.font().pointSizeF());
  const QFontMetrics metrics(form.font());
  const std::pair<QLabel*, const char*> widest[] = {{Label("statusHeading"), "Status"},
                                                    {Label("lastRestartHeading"), "Last Restart:"},
                                                    {Label("lastRestartText"), "12-28-2028 20:08:28"},
                                                    {Label("lastRequestText"), "20:08:28"},
                                                    {Label("lastRequestHeading"), "Last Request:"}};
  for (const auto& [label, text] : widest) {
    SCOPED_TRACE(text);
    EXPECT_LE(metrics.horizontalAdvance(text), label->width());
    EXPECT_LE(metrics.height(), label->height());
  }
  // The headings end a visible gap before their values' boxes (which they
  // reach a pixel into).
  for (const auto& [heading, value] : {std::pair{"lastRestartHeading", "lastRestartText"},
                                       std::pair{"lastRequestHeading", "lastRequestText"}}) {
    SCOPED_TRACE(heading);
    const QLabel* label = Label(heading);
    const int right =
        label->x() + static_cast<int>(std::ceil(QFontMetricsF(form.font()).horizontalAdvance(label->text())));
    EXPECT_GE(Label(value)->x() - right, 3);
  }
}

TEST_F(StatusWindowFixture, IconIsAMeasuringScreenInTwoSizesOfSixteenColours) {
  const QIcon icon = form.windowIcon();
  for (int size : {32, 16}) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const QImage image = icon.pixmap(QSize(size, size)).toImage();
    ASSERT_EQ(image.size(), QSize(size, size));
    std::set<QRgb> colours;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) colours.insert(image.pixel(x, y) | 0xff000000u);
    EXPECT_LE(colours.size(), 16u);
    // Grey frame, black screen, green grid, white trace.
    EXPECT_EQ(QColor(image.pixel(1, size / 2)), QColor(0xc0, 0xc0, 0xc0));
    EXPECT_TRUE(colours.count(qRgb(0, 0, 0)));
    EXPECT_TRUE(colours.count(qRgb(0, 0x80, 0)));
    EXPECT_TRUE(colours.count(qRgb(0xff, 0xff, 0xff)));
  }
}

TEST_F(StatusWindowFixture, EachTickShowsWaitingAndAnAnsweredRequestShowsItsTime) {
  Tick();
  EXPECT_EQ(Label("statusLine")->text(), "Waiting for Request...");
  EXPECT_EQ(Label("lastRequestText")->text(), "");
  EXPECT_TRUE(port.Writes().empty());

  port.RaiseRequestFor(1);
  Tick();
  EXPECT_EQ(Label("statusLine")->text(), "Sending Sequence...");
  EXPECT_EQ(Label("lastRequestText")->text(), "10:11:12");
  EXPECT_EQ(port.WrittenValues(), (std::vector<std::int16_t>{0, 1, 0, 1}));
  EXPECT_TRUE(form.Life().LastPollSawRequest());

  clock.local.second = 13;
  Tick();
  EXPECT_EQ(Label("statusLine")->text(), "Waiting for Request...");
  EXPECT_EQ(Label("lastRequestText")->text(), "10:11:12");
  EXPECT_EQ(port.Writes().size(), 4u);
}

// Records the text of each label as it is painted.
class PaintLog : public QObject {
 public:
  std::vector<std::pair<QString, QString>> painted;  // object name, text

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      if (auto* label = qobject_cast<QLabel*>(watched))
        painted.emplace_back(label->objectName(), label->text());
    return false;
  }
};

TEST_F(StatusWindowFixture, TextsOfARunningAnswerArePaintedBeforeItEnds) {
  ShowAndWait();
  PaintLog log;
  Label("statusLine")->installEventFilter(&log);
  Label("lastRequestText")->installEventFilter(&log);
  std::vector<std::pair<QString, QString>> paintedBeforeFirstWrite;
  port.onWrite = [&] {
    if (paintedBeforeFirstWrite.empty()) paintedBeforeFirstWrite = log.painted;
  };
  port.RaiseRequestFor(1);
  Tick();
  const auto has = [&](const char* name, const char* text) {
    for (const auto& [n, t] : paintedBeforeFirstWrite)
      if (n == name && t == text) return true;
    return false;
  };
  EXPECT_TRUE(has("statusLine", "Sending Sequence..."));
  EXPECT_TRUE(has("lastRequestText", "10:11:12"));
}

TEST_F(StatusWindowFixture, OkMinimisesAndAClickDuringAnAnswerWaitsForItsEnd) {
  ShowAndWait();
  std::vector<bool> minimisedAtWrites;
  port.onWrite = [&] {
    if (minimisedAtWrites.empty()) QMetaObject::invokeMethod(Ok(), "click", Qt::QueuedConnection);
    minimisedAtWrites.push_back(form.isMinimized());
  };
  port.RaiseRequestFor(1);
  Tick();
  EXPECT_EQ(minimisedAtWrites, (std::vector<bool>{false, false, false, false}));
  EXPECT_FALSE(form.isMinimized());
  QCoreApplication::processEvents();
  EXPECT_TRUE(form.isMinimized());
  // The click does nothing else: no port access, texts unchanged.
  EXPECT_EQ(port.Writes().size(), 4u);
  EXPECT_EQ(port.Reads().size(), 1u);
  EXPECT_EQ(Label("statusLine")->text(), "Sending Sequence...");
  EXPECT_TRUE(Timer()->isActive());
}

TEST_F(StatusWindowFixture, EnterPressesOk) {
  ShowAndWait();
  QTest::keyClick(Ok(), Qt::Key_Return);
  EXPECT_TRUE(form.isMinimized());

  form.showNormal();
  ASSERT_FALSE(form.isMinimized());
  QTest::keyClick(&form, Qt::Key_Enter);
  EXPECT_TRUE(form.isMinimized());
}

// The window right after the start-up work, as the program's entry runs it,
// in a fresh working folder where the restart log goes.
TEST(StatusWindowAfterStartUp, ShowsActiveTheStartStampAndNoRequestAndShowsOnlyAfterTheStartUp) {
  testing::TempFolder folder;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  FakeClock clock;
  clock.local = {2026, 3, 4, 5, 6, 7, 0};
  FakePort port;
  StatusWindow form(port, clock);
  auto* timer = form.findChild<WindowTimer*>("pollTimer");
  std::vector<bool> visibleAtWrite, timerAtWrite;
  port.onWrite = [&] {
    visibleAtWrite.push_back(form.isVisible());
    timerAtWrite.push_back(timer->isActive());
  };
  const bool started = form.Life().Start();
  std::filesystem::current_path(previous);

  ASSERT_TRUE(started);
  EXPECT_EQ(LabelOf(form, "statusLine")->text(), "Active...");
  EXPECT_EQ(LabelOf(form, "lastRestartText")->text(), "03-04-2026 05:06:07");
  EXPECT_EQ(LabelOf(form, "lastRequestText")->text(), "");
  EXPECT_EQ(port.WrittenValues(), (std::vector<std::int16_t>{1}));
  EXPECT_TRUE(std::filesystem::exists(folder / "Quorvane.log"));
  // Hidden while loading, with the poll timer already running; shown after.
  EXPECT_EQ(visibleAtWrite, (std::vector<bool>{false}));
  EXPECT_EQ(timerAtWrite, (std::vector<bool>{true}));
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(timer->isActive());
}

}  // namespace
}  // namespace quorvane
