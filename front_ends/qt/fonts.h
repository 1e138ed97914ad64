#pragma once

// The window's fonts on Qt: measured with Qt's font metrics for the font
// policy, and made into QFonts.

#include <QFont>

#include "core/status_window/text_measurer.h"

namespace quorvane {

class QtTextMeasurer final : public TextMeasurer {
 public:
  bool FamilyInstalled(const std::string& family) const override;
  TextExtent Measure(const FontSpec& font, const std::string& text) const override;
};

QFont ToQFont(const FontSpec& font);

// The application's font, the desktop's, to the nearest quarter point.
FontSpec DesktopFont();

}  // namespace quorvane
