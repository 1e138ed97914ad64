#include "window/qt/status_font.h"

#include <algorithm>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>

#include "window/form1_description.h"

namespace quorvane {

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
  const form1::ShrinkRule& rule = form1::kShrinkRule;
  while (!FitsBox(font, texts, box) && font.pointSizeF() - rule.stepPoints >= rule.smallestPoints)
    font.setPointSizeF(font.pointSizeF() - rule.stepPoints);
  return font;
}

QFont ChooseStatusFont(const QStringList& texts, QSize box) {
  const form1::Typeface& typeface = form1::kStatusLineTypeface;
  const QString own = QString::fromLatin1(typeface.family);
  const QString fallback = QString::fromLatin1(form1::kShrinkRule.fallbackFamily);
  const QStringList installed = QFontDatabase::families();
  QFont font;
  if (installed.contains(own)) {
    font.setFamily(own);
  } else if (installed.contains(fallback)) {
    font.setFamily(fallback);
  } else {
    font = QApplication::font();
  }
  font.setPointSizeF(typeface.pointSize);
  font.setBold(typeface.bold);
  // Qt's weights are the same 100..900 scale; set after bold, which sets one.
  font.setWeight(static_cast<QFont::Weight>(typeface.weight));
  font.setItalic(typeface.italic);
  font.setUnderline(typeface.underline);
  font.setStrikeOut(typeface.strikeOut);
  // Character set 0 is the typeface's own Western set, Qt's default.
  if (font.family() == own) return font;
  return ShrinkToFit(font, texts, box);
}

}  // namespace quorvane
