#include "window/qt/status_font.h"

#include <algorithm>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>

namespace quorvane {

namespace {

constexpr double kStep = 0.25;
constexpr double kSmallest = 4.0;

}  // namespace

bool FitsBox(const QFont& font, const QStringList& texts, QSize box) {
  const QFontMetricsF metrics(font);
  if (metrics.height() > box.height()) return false;
  for (const QString& text : texts) {
    // The advance is where the next text would start; the ink of a slanted
    // or flourished typeface can reach past it, so both must fit.
    const QRectF ink = metrics.boundingRect(text);
    const double right = std::max(metrics.horizontalAdvance(text), ink.right());
    const double left = std::min(0.0, ink.left());
    if (right - left > box.width()) return false;
  }
  return true;
}

QFont ShrinkToFit(QFont font, const QStringList& texts, QSize box) {
  while (!FitsBox(font, texts, box) && font.pointSizeF() - kStep >= kSmallest)
    font.setPointSizeF(font.pointSizeF() - kStep);
  return font;
}

QFont ChooseStatusFont(const QStringList& texts, QSize box) {
  const QStringList installed = QFontDatabase::families();
  QFont font;
  if (installed.contains(kStatusTypeface)) {
    font.setFamily(kStatusTypeface);
  } else if (installed.contains(kFallbackTypeface)) {
    font.setFamily(kFallbackTypeface);
  } else {
    font = QApplication::font();
  }
  font.setPointSizeF(kStatusPointSize);
  font.setWeight(QFont::Normal);
  font.setBold(false);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  if (font.family() == kStatusTypeface) return font;
  return ShrinkToFit(font, texts, box);
}

}  // namespace quorvane
