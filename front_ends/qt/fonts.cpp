#include "front_ends/qt/fonts.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>

#include "core/status_window/font_policy.h"

namespace quorvane {

bool QtTextMeasurer::FamilyInstalled(const std::string& family) const {
  return QFontDatabase::families().contains(QString::fromStdString(family));
}

TextExtent QtTextMeasurer::Measure(const FontSpec& font, const std::string& text) const {
  const QFontMetricsF metrics(ToQFont(font));
  const QString shown = QString::fromStdString(text);
  // The advance is where the next text would start; the ink of a slanted or
  // flourished typeface can reach past it, so both must fit. A pixel only
  // partly covered is still taken.
  const QRectF ink = metrics.boundingRect(shown);
  const double right = std::max(metrics.horizontalAdvance(shown), ink.right());
  const double left = std::min(0.0, ink.left());
  return {static_cast<int>(std::ceil(right - left)), static_cast<int>(std::ceil(metrics.height()))};
}

QFont ToQFont(const FontSpec& wanted) {
  QFont font(QString::fromStdString(wanted.family));
  font.setPointSizeF(wanted.Points());
  // Qt's weights are the same 100..900 scale.
  font.setWeight(static_cast<QFont::Weight>(wanted.weight));
  font.setItalic(wanted.italic);
  font.setUnderline(wanted.underline);
  font.setStrikeOut(wanted.strikeOut);
  // Character set 0 is the typeface's own Western set, Qt's default.
  return font;
}

FontSpec DesktopFont() {
  const QFont font = QApplication::font();
  // A font set in pixels has no point size; Qt's logical inch is 96 pixels.
  const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
  return FontSpec{font.family().toStdString(),
                  font_policy::QuarterPoints(points),
                  font.weight(),
                  font.italic(),
                  font.underline(),
                  font.strikeOut(),
                  0};
}

}  // namespace quorvane
