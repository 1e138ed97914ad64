#pragma once

// The window StatusWindow as data, for every front end to build from: its caption,
// its size, each control with its text and box, the status line's typeface,
// and which label shows which status text. Nothing here names a toolkit; a
// front end turns these into its own widgets.

#include <array>
#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "core/status_window/status_display.h"

namespace quorvane::status_window {

// The caption of the window and of its failure box.
inline constexpr char kCaption[] = "Quorvane - Tamsel";
// The failure box's object name, by which tests find it.
inline constexpr char kFailureBoxName[] = "failureBox";

// Positions and sizes are kept in twips (1/1440 inch), as the window was drawn.
inline constexpr int kTwipsPerInch = 1440;

struct TwipsSize {
  int width;
  int height;
};

struct Box {
  int left;
  int top;
  int width;
  int height;
};

// The client area; the window is of this fixed size.
inline constexpr TwipsSize kClientSize{4680, 1635};

// Twips to pixels on a screen of `pixelsPerInch`, to the nearest pixel (at 96
// pixels per inch a pixel is exactly 15 twips).
constexpr int TwipsToPixels(int twips, int pixelsPerInch) {
  return (twips * pixelsPerInch + kTwipsPerInch / 2) / kTwipsPerInch;
}
constexpr Box BoxInPixels(const Box& twips, int pixelsPerInch) {
  return {TwipsToPixels(twips.left, pixelsPerInch), TwipsToPixels(twips.top, pixelsPerInch),
          TwipsToPixels(twips.width, pixelsPerInch), TwipsToPixels(twips.height, pixelsPerInch)};
}

enum class ControlKind { kLabel, kPushButton };

// The Status display's fields, and the label that shows each.
enum class StatusField { kNone, kStatusLine, kLastRestart, kLastRequest };

// A field's name where its texts are written out rather than shown (the
// text front end's lines, the service's event log): "status", "last
// restart", "last request".
const char* FieldName(StatusField field);

// In a text a fixed box must hold, this stands for any digit: a front end
// measures it as its font's widest digit.
inline constexpr char kAnyDigit = '#';

// The status line must hold each of its texts whole, on one line.
inline constexpr std::span<const char* const> kStatusLineTexts = status_texts::kAll;
// The widest texts each other fixed box must hold in the window's font: the
// headings as they are, the stamps with every digit at its widest.
// WidestText() makes one of these ready to measure.
inline constexpr const char* kStatusHeadingTexts[] = {"Status"};
inline constexpr const char* kOkTexts[] = {"OK"};
inline constexpr const char* kLastRestartHeadingTexts[] = {"Last Restart:"};
inline constexpr const char* kLastRestartTexts[] = {"##-##-#### ##:##:##"};  // Date, Time text
inline constexpr const char* kLastRequestTexts[] = {"##:##:##"};             // Time text
inline constexpr const char* kLastRequestHeadingTexts[] = {"Last Request:"};

// `text` with each kAnyDigit replaced by `widestDigit`.
std::string WidestText(std::string_view text, char widestDigit);

struct Control {
  const char* name;
  ControlKind kind;
  const char* initialText;
  Box twips;
  StatusField shows;
  StatusField heads;     // the field whose label this heading stands before
  bool isDefaultButton;  // Enter presses it wherever the focus is
  std::span<const char* const> mustHold;
};

// The controls in tab order (a control's tab index is its place here).
// Labels never take the focus, so the button is the only stop of the order.
// A table, two lines a control, laid out by hand:
// clang-format off
inline constexpr std::array<Control, 7> kControls{{
    {"statusLine", ControlKind::kLabel, status_texts::kActive, {840, 480, 2895, 495},
     StatusField::kStatusLine, StatusField::kNone, false, kStatusLineTexts},
    {"statusHeading", ControlKind::kLabel, kStatusHeadingTexts[0], {840, 240, 615, 255},
     StatusField::kNone, StatusField::kNone, false, kStatusHeadingTexts},
    {"okButton", ControlKind::kPushButton, kOkTexts[0], {3840, 1320, 735, 255},
     StatusField::kNone, StatusField::kNone, true, kOkTexts},
    {"lastRestartHeading", ControlKind::kLabel, kLastRestartHeadingTexts[0], {120, 1320, 975, 255},
     StatusField::kNone, StatusField::kLastRestart, false, kLastRestartHeadingTexts},
    {"lastRestartText", ControlKind::kLabel, "", {1080, 1320, 1695, 255},
     StatusField::kLastRestart, StatusField::kNone, false, kLastRestartTexts},
    {"lastRequestText", ControlKind::kLabel, "", {1200, 1080, 735, 255},
     StatusField::kLastRequest, StatusField::kNone, false, kLastRequestTexts},
    {"lastRequestHeading", ControlKind::kLabel, kLastRequestHeadingTexts[0], {120, 1080, 1095, 255},
     StatusField::kNone, StatusField::kLastRequest, false, kLastRequestHeadingTexts},
}};
// clang-format on

// The control that shows `field`; kControls.size() for kNone.
constexpr std::size_t IndexShowing(StatusField field) {
  for (std::size_t i = 0; i < kControls.size(); ++i)
    if (field != StatusField::kNone && kControls[i].shows == field) return i;
  return kControls.size();
}

// The button Enter presses.
constexpr std::size_t DefaultButtonIndex() {
  for (std::size_t i = 0; i < kControls.size(); ++i)
    if (kControls[i].isDefaultButton) return i;
  return kControls.size();
}

inline constexpr std::size_t kStatusLine = IndexShowing(StatusField::kStatusLine);
static_assert(kStatusLine < kControls.size() && IndexShowing(StatusField::kLastRestart) < kControls.size() &&
              IndexShowing(StatusField::kLastRequest) < kControls.size());
static_assert(kControls[DefaultButtonIndex()].kind == ControlKind::kPushButton);

// The poll timer: periodic, enabled from the window's creation, not visible.
struct Timer {
  const char* name;
  std::chrono::milliseconds interval;
};
inline constexpr Timer kPollTimer{"pollTimer", std::chrono::milliseconds(1000)};

struct Typeface {
  const char* family;
  double pointSize;
  int weight;  // 400 is normal
  bool bold, italic, underline, strikeOut;
  int characterSet;
};

struct Rgb {
  int red, green, blue;
};

// The status line's own typeface and colour (its text is drawn in it); every
// other control uses the window's font.
inline constexpr Typeface kStatusLineTypeface{"Freehand575 BT", 21.75, 400, false, false, false, false, 0};
inline constexpr Rgb kStatusLineColour{255, 0, 255};

// Where the status typeface is not installed: this family, from the status
// typeface's size down a quarter point at a time until every text of the
// status line fits its box. The window's font shrinks by the same steps when
// a fixed box cannot hold its texts; neither goes below the smallest size.
struct ShrinkRule {
  const char* fallbackFamily;
  double smallestPoints;
};
inline constexpr ShrinkRule kShrinkRule{"DejaVu Sans", 4.0};

// A heading's box reaches a pixel into its value's (the last-restart heading ends at 1095,
// its value begins at 1080): its text must end this far before the value's box,
// so that the two never touch.
inline constexpr int kHeadingGapTwips = 60;

}  // namespace quorvane::status_window
