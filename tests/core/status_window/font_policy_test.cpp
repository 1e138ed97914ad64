// The window's font choice, against a measurer whose sizes are known: every
// character is quarterPoints / 8 pixels wide (those in `wide` twice that),
// and a line is quarterPoints / 3 pixels high.
#include "core/status_window/font_policy.h"
#include "status_window_lookup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace quorvane::font_policy {
namespace {

class FakeMeasurer final : public TextMeasurer {
 public:
  bool FamilyInstalled(const std::string& family) const override { return installed.count(family) > 0; }
  TextExtent Measure(const FontSpec& font, const std::string& text) const override {
    ++measured;
    int eighths = 0;
    for (char c : text) eighths += (wide.find(c) != std::string::npos ? 2 : 1) * font.quarterPoints;
    return {eighths / 8, font.quarterPoints / 3 + extraHeight};
  }
  std::set<std::string> installed;
  std::string wide;
  int extraHeight = 0;
  mutable int measured = 0;
};

const FontSpec kDesktop{"Desktop Sans", 36};  // 9 pt

std::vector<std::string> StatusTexts() {
  return {std::begin(status_texts::kAll), std::end(status_texts::kAll)};
}

TEST(FontPolicy, StatusTypefaceWhereInstalledAtItsOwnSizeUnshrunk) {
  FakeMeasurer measurer;
  measurer.installed = {"Freehand575 BT", "DejaVu Sans"};
  const FontSpec status = Choose(measurer, kDesktop, 96).statusLine;
  EXPECT_EQ(status, (FontSpec{"Freehand575 BT", 87, 400, false, false, false, 0}));
  // Its own typeface is taken as it is, though the fake says it would not fit.
  EXPECT_FALSE(Fits(measurer, status, StatusTexts(), RoomInPixels(status_window::kStatusLine, 96)));
}

TEST(FontPolicy, FallbackAtTheLargestQuarterPointThatHoldsEveryStatusText) {
  FakeMeasurer measurer;
  measurer.installed = {"DejaVu Sans"};
  for (int ppi : {72, 96}) {
    SCOPED_TRACE(ppi);
    const FontSpec status = Choose(measurer, kDesktop, ppi).statusLine;
    EXPECT_EQ(status.family, "DejaVu Sans");
    EXPECT_EQ(status.weight, 400);
    const Room room = RoomInPixels(status_window::kStatusLine, ppi);
    EXPECT_TRUE(Fits(measurer, status, StatusTexts(), room));
    FontSpec larger = status;
    ++larger.quarterPoints;
    EXPECT_FALSE(Fits(measurer, larger, StatusTexts(), room));
  }
  // 193 px at 96 ppi holds the 22 characters of "Waiting for Request..." up
  // to 70 quarter points (192 px), not 71 (195 px).
  EXPECT_EQ(Choose(measurer, kDesktop, 96).statusLine.quarterPoints, 70);
  // Where the line's box could hold more, never larger than the typeface's own size.
  EXPECT_EQ(Choose(measurer, kDesktop, 144).statusLine.quarterPoints, 87);
}

TEST(FontPolicy, DesktopFamilyWhenEvenTheFallbackIsMissing) {
  FakeMeasurer measurer;
  const FontSpec status = Choose(measurer, kDesktop, 96).statusLine;
  EXPECT_EQ(status.family, "Desktop Sans");
  EXPECT_EQ(status.quarterPoints, 70);
}

TEST(FontPolicy, DesktopFontKeptWhereEveryBoxHoldsIt) {
  FakeMeasurer measurer;
  const FontSpec small{"Desktop Sans", 24, 400, true, false, false, 0};
  EXPECT_EQ(Choose(measurer, small, 96).window, small);
}

TEST(FontPolicy, HeadingsEndAGapBeforeTheirValues) {
  // At 40 quarter points "Last Restart:" (65 px) fills its own 65 px box,
  // whose right edge lies a pixel inside its value's: the font is made
  // smaller until the heading ends a gap before the value.
  FakeMeasurer measurer;
  const FontSpec desktop{"Desktop Sans", 40};
  const FontSpec window = Choose(measurer, desktop, 96).window;
  EXPECT_LT(window.quarterPoints, desktop.quarterPoints);
  for (int ppi : {96, 144}) {
    SCOPED_TRACE(ppi);
    const FontSpec chosen = Choose(measurer, desktop, ppi).window;
    for (const char* heading : {"lastRestartHeading", "lastRequestHeading"}) {
      SCOPED_TRACE(heading);
      const status_window::Control& control = status_window::kControls[status_window::IndexOf(heading)];
      const status_window::Box box = status_window::BoxInPixels(control.twips, ppi);
      const status_window::Box value = status_window::BoxInPixels(
          status_window::kControls[status_window::IndexShowing(control.heads)].twips, ppi);
      const int right = box.left + measurer.Measure(chosen, control.initialText).width;
      EXPECT_LE(right + status_window::TwipsToPixels(status_window::kHeadingGapTwips, ppi), value.left + 1);
      EXPECT_GT(value.left - right, 1) << "the gap must be visible";
    }
  }
  // 900 twips from the last-restart heading's left to a gap before its value: 60 px at 96 ppi.
  EXPECT_EQ(RoomInPixels(status_window::IndexOf("lastRestartHeading"), 96).width, 60);
  EXPECT_EQ(RoomInPixels(status_window::IndexOf("lastRestartText"), 96).width, 113);
}

TEST(FontPolicy, StampBoxesHoldEveryDigitAtTheWidestDigitsWidth) {
  FakeMeasurer uniform;
  FakeMeasurer wideEights;
  wideEights.wide = "8";
  const FontSpec desktop{"Desktop Sans", 44};
  EXPECT_EQ(WidestDigit(uniform, desktop), '0');
  EXPECT_EQ(WidestDigit(wideEights, desktop), '8');
  const FontSpec chosen = Choose(wideEights, desktop, 96).window;
  EXPECT_LT(chosen.quarterPoints, Choose(uniform, desktop, 96).window.quarterPoints);
  const std::vector<std::string> eights{"88-88-8888 88:88:88"};
  EXPECT_TRUE(Fits(wideEights, chosen, eights, RoomInPixels(status_window::IndexOf("lastRestartText"), 96)));
}

TEST(FontPolicy, NeverBelowTheSmallestSize) {
  FakeMeasurer measurer;
  measurer.extraHeight = 100;  // no line fits any box at any size
  const WindowFonts fonts = Choose(measurer, FontSpec{"Desktop Sans", 40}, 96);
  EXPECT_EQ(fonts.window.quarterPoints, 16);
  EXPECT_EQ(fonts.statusLine.quarterPoints, 16);
  EXPECT_EQ(ShrinkToFit(measurer, FontSpec{"Desktop Sans", 10}, StatusTexts(), Room{0, 0}).quarterPoints, 10)
      << "a font already below the smallest size is not made larger";
}

TEST(FontPolicy, QuarterPointsRoundToTheNearest) {
  EXPECT_EQ(QuarterPoints(21.75), 87);
  EXPECT_EQ(QuarterPoints(9.0), 36);
  EXPECT_EQ(QuarterPoints(8.2), 33);
  EXPECT_EQ(QuarterPoints(8.1), 32);
}

}  // namespace
}  // namespace quorvane::font_policy
