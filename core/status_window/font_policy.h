#pragma once

// The window's two fonts, chosen once for every front end against its
// TextMeasurer: the status line's own typeface, and the desktop's font for
// every other control, each made smaller only when a fixed box could not
// hold its texts.

#include <span>
#include <string>

#include "core/status_window/text_measurer.h"
#include "core/status_window/window_description.h"

namespace quorvane::font_policy {

// Pixels a control's texts may take.
struct Room {
  int width;
  int height;
};

struct WindowFonts {
  FontSpec window;      // every control but the status line
  FontSpec statusLine;  // the status line
};

// The nearest whole quarter point to `points`.
int QuarterPoints(double points);

// The fonts for the window laid out at `pixelsPerInch`, given the desktop's
// font. The status line gets status_window::kStatusLineTypeface where that family is
// installed, as it is; otherwise the fallback family (or the desktop's, when
// even that is missing) at the largest quarter-point size, from the status
// typeface's down, at which every status text fits the line's box. The
// desktop's font is kept unless a box cannot hold its widest texts; then it
// is made smaller until every box can.
WindowFonts Choose(const TextMeasurer& measurer, const FontSpec& desktop, int pixelsPerInch);

// The room control `control` has for its texts at `pixelsPerInch`: its box,
// and for a heading only as far as a gap before the value it heads.
Room RoomInPixels(std::size_t control, int pixelsPerInch);

// True when each of `texts` in `font` fits in `room` pixels.
bool Fits(const TextMeasurer& measurer, const FontSpec& font, std::span<const std::string> texts, Room room);

// `font` when it fits; otherwise the same font a quarter point smaller at a
// time until it does, never below status_window::kShrinkRule.smallestPoints.
FontSpec ShrinkToFit(const TextMeasurer& measurer, FontSpec font, std::span<const std::string> texts,
                     Room room);

// The digit that comes out widest in `font` (the first of equals).
char WidestDigit(const TextMeasurer& measurer, const FontSpec& font);

}  // namespace quorvane::font_policy
