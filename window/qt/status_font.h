#pragma once

#include <QFont>
#include <QSize>
#include <QStringList>

namespace quorvane {

// True when `font`, drawn on one line, keeps every one of `texts` wholly
// inside a box of `box` pixels.
bool FitsBox(const QFont& font, const QStringList& texts, QSize box);

// `font` itself when it fits; otherwise the same font stepped down by the
// window's shrink step until it does (never below its smallest size).
QFont ShrinkToFit(QFont font, const QStringList& texts, QSize box);

// The font of the status line: its own typeface at its own size when that is
// installed. Otherwise the fallback family (or the application's font when
// even that is missing), from the same size down until `texts` fit in `box`.
QFont ChooseStatusFont(const QStringList& texts, QSize box);

}  // namespace quorvane
