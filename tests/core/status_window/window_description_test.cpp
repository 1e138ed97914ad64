// The window's description: the facts every front end builds from.
#include "core/status_window/window_description.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "common/clock_text.h"
#include "core/status_window/status_display.h"
#include "status_window_lookup.h"

namespace quorvane::status_window {
namespace {

TEST(WindowDescription, CaptionAndClientSize) {
  EXPECT_STREQ(kCaption, "Quorvane - Tamsel");
  EXPECT_EQ(kClientSize.width, 4680);
  EXPECT_EQ(kClientSize.height, 1635);
  EXPECT_EQ(kPollTimer.interval.count(), 1000);
}

TEST(WindowDescription, TwipsBecomePixelsAtTheScreensDensity) {
  const struct {
    int twips, pixelsPerInch, pixels;
  } table[] = {
      {4680, 96, 312},  {1635, 96, 109},  {2895, 96, 193},  {15, 96, 1},    {7, 96, 0}, {8, 96, 1},
      {2895, 120, 241}, {1635, 120, 136}, {2895, 144, 290}, {255, 192, 34}, {0, 96, 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(std::to_string(row.twips) + " twips at " + std::to_string(row.pixelsPerInch));
    EXPECT_EQ(TwipsToPixels(row.twips, row.pixelsPerInch), row.pixels);
  }
  const Box box = BoxInPixels({840, 480, 2895, 495}, 96);
  EXPECT_EQ(box.left, 56);
  EXPECT_EQ(box.top, 32);
  EXPECT_EQ(box.width, 193);
  EXPECT_EQ(box.height, 33);
}

TEST(WindowDescription, EachStatusFieldHasOneLabelAndOneButtonIsTheDefault) {
  EXPECT_STREQ(kControls[IndexShowing(StatusField::kStatusLine)].name, "statusLine");
  EXPECT_STREQ(kControls[IndexShowing(StatusField::kLastRestart)].name, "lastRestartText");
  EXPECT_STREQ(kControls[IndexShowing(StatusField::kLastRequest)].name, "lastRequestText");
  std::set<std::string> names;
  int shown = 0, defaults = 0;
  for (const Control& control : kControls) {
    SCOPED_TRACE(control.name);
    names.insert(control.name);
    if (control.shows != StatusField::kNone) {
      ++shown;
      EXPECT_EQ(control.kind, ControlKind::kLabel);
    }
    if (control.isDefaultButton) ++defaults;
    // A fixed box holds at least the text it starts with.
    EXPECT_FALSE(control.mustHold.empty());
    const std::string initial = control.initialText;
    if (!initial.empty()) {
      bool held = false;
      for (const char* text : control.mustHold) held = held || initial == text;
      EXPECT_TRUE(held) << initial;
    }
  }
  EXPECT_EQ(names.size(), kControls.size());
  EXPECT_EQ(shown, 3);
  EXPECT_EQ(defaults, 1);
  EXPECT_STREQ(kControls[DefaultButtonIndex()].name, "okButton");
  EXPECT_EQ(IndexOf("noSuchControl"), kControls.size());
}

TEST(WindowDescription, StatusLineHoldsEveryStatusText) {
  const auto& texts = kControls[kStatusLine].mustHold;
  std::set<std::string> held(texts.begin(), texts.end());
  EXPECT_EQ(held, (std::set<std::string>{status_texts::kWaitingForRequest, status_texts::kSendingSequence,
                                         "Active..."}));
  EXPECT_STREQ(kControls[kStatusLine].initialText, "Active...");
}

// The stamps' widest texts have the shape the clock texts really take.
TEST(WindowDescription, StampBoxesHoldTextsShapedLikeTheStamps) {
  const LocalTime t{2026, 12, 8, 10, 11, 12, 0};
  const auto shape = [](std::string text) {
    return std::regex_replace(text, std::regex("[0-9]"), std::string(1, kAnyDigit));
  };
  EXPECT_EQ(kControls[IndexShowing(StatusField::kLastRestart)].mustHold[0],
            shape(DateText(t) + " " + TimeText(t)));
  EXPECT_EQ(kControls[IndexShowing(StatusField::kLastRequest)].mustHold[0], shape(TimeText(t)));
  EXPECT_EQ(WidestText("##:##", '8'), "88:88");
  EXPECT_EQ(WidestText("Last Restart:", '8'), "Last Restart:");
}

}  // namespace
}  // namespace quorvane::status_window
