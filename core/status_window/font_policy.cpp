#include "core/status_window/font_policy.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorvane::font_policy {

namespace {

// The texts a control must hold, each digit stand-in made `widestDigit`.
std::vector<std::string> TextsOf(std::size_t control, char widestDigit) {
  std::vector<std::string> texts;
  for (const char* text : status_window::kControls[control].mustHold)
    texts.push_back(status_window::WidestText(text, widestDigit));
  return texts;
}

FontSpec StatusTypeface() {
  const status_window::Typeface& typeface = status_window::kStatusLineTypeface;
  return FontSpec{typeface.family,
                  QuarterPoints(typeface.pointSize),
                  typeface.bold ? 700 : typeface.weight,
                  typeface.italic,
                  typeface.underline,
                  typeface.strikeOut,
                  typeface.characterSet};
}

}  // namespace

int QuarterPoints(double points) { return static_cast<int>(std::lround(points * 4)); }

Room RoomInPixels(std::size_t control, int pixelsPerInch) {
  const status_window::Control& c = status_window::kControls[control];
  const status_window::Box box = status_window::BoxInPixels(c.twips, pixelsPerInch);
  Room room{box.width, box.height};
  if (c.heads != status_window::StatusField::kNone) {
    // The heading's box reaches into its value's: the text must end a gap
    // before the value begins, or the two read as one word.
    const status_window::Box& value = status_window::kControls[status_window::IndexShowing(c.heads)].twips;
    const int right =
        status_window::TwipsToPixels(value.left - status_window::kHeadingGapTwips, pixelsPerInch);
    room.width = std::min(room.width, right - box.left);
  }
  return room;
}

bool Fits(const TextMeasurer& measurer, const FontSpec& font, std::span<const std::string> texts, Room room) {
  return std::all_of(texts.begin(), texts.end(), [&](const std::string& text) {
    const TextExtent extent = measurer.Measure(font, text);
    return extent.width <= room.width && extent.height <= room.height;
  });
}

FontSpec ShrinkToFit(const TextMeasurer& measurer, FontSpec font, std::span<const std::string> texts,
                     Room room) {
  const int smallest = QuarterPoints(status_window::kShrinkRule.smallestPoints);
  while (font.quarterPoints > smallest && !Fits(measurer, font, texts, room)) --font.quarterPoints;
  return font;
}

char WidestDigit(const TextMeasurer& measurer, const FontSpec& font) {
  char widest = '0';
  int widestWidth = measurer.Measure(font, "0").width;
  for (char digit = '1'; digit <= '9'; ++digit) {
    const int width = measurer.Measure(font, std::string(1, digit)).width;
    if (width > widestWidth) {
      widest = digit;
      widestWidth = width;
    }
  }
  return widest;
}

WindowFonts Choose(const TextMeasurer& measurer, const FontSpec& desktop, int pixelsPerInch) {
  WindowFonts fonts{desktop, StatusTypeface()};
  const char widestDigit = WidestDigit(measurer, desktop);
  for (std::size_t i = 0; i < status_window::kControls.size(); ++i)
    if (i != status_window::kStatusLine)
      fonts.window =
          ShrinkToFit(measurer, fonts.window, TextsOf(i, widestDigit), RoomInPixels(i, pixelsPerInch));

  if (measurer.FamilyInstalled(fonts.statusLine.family)) return fonts;
  const std::string fallback = status_window::kShrinkRule.fallbackFamily;
  fonts.statusLine.family = measurer.FamilyInstalled(fallback) ? fallback : desktop.family;
  // No digit stands in for another in the status texts.
  fonts.statusLine = ShrinkToFit(measurer, fonts.statusLine, TextsOf(status_window::kStatusLine, '0'),
                                 RoomInPixels(status_window::kStatusLine, pixelsPerInch));
  return fonts;
}

}  // namespace quorvane::font_policy
