#pragma once

#include <QFont>
#include <QSize>
#include <QStringList>

namespace quorvane {

// The status line's own typeface, at its own size.
inline constexpr char kStatusTypeface[] = "Freehand575 BT";
inline constexpr double kStatusPointSize = 21.75;
// Used when the status typeface is not installed; fonts-dejavu-core ships it.
inline constexpr char kFallbackTypeface[] = "DejaVu Sans";

// True when `font`, drawn on one line, keeps every one of `texts` wholly
// inside a box of `box` pixels.
bool FitsBox(const QFont& font, const QStringList& texts, QSize box);

// `font` itself when it fits; otherwise the same font stepped down a quarter
// point at a time until it does (never below 4 pt).
QFont ShrinkToFit(QFont font, const QStringList& texts, QSize box);

// The font of the status line: the status typeface at 21.75 pt when it is
// installed. Otherwise the fallback typeface (or the application's font when
// even that is missing), from 21.75 pt down until `texts` fit in `box`.
QFont ChooseStatusFont(const QStringList& texts, QSize box);

}  // namespace quorvane
