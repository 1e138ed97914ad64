#include "front_ends/win32_window/fonts.h"

#include <algorithm>
#include <cmath>

#include "common/failure.h"
#include "common/windows_text.h"
#include "core/status_window/font_policy.h"

namespace quorvane::win32 {

namespace {

// A screen-compatible memory DC with `font` selected, for measuring.
class MeasuringDc {
 public:
  explicit MeasuringDc(HFONT font) : dc_(CreateCompatibleDC(nullptr)) {
    if (!dc_) throw Failure("cannot measure the window's texts: " + LastSystemErrorText());
    previous_ = SelectObject(dc_, font);
  }
  MeasuringDc(const MeasuringDc&) = delete;
  MeasuringDc& operator=(const MeasuringDc&) = delete;
  ~MeasuringDc() {
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ previous_ = nullptr;
};

int CALLBACK NoteFamilyFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

}  // namespace

Font& Font::operator=(Font&& other) noexcept {
  if (this != &other) {
    if (handle_) DeleteObject(handle_);
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

Font::~Font() {
  if (handle_) DeleteObject(handle_);
}

bool FamilyInstalled(const std::wstring& family) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  family.copy(wanted.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  if (!screen) return false;
  EnumFontFamiliesExW(screen, &wanted, NoteFamilyFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

FontSpec MessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  HDC screen = GetDC(nullptr);
  const int systemDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
  if (screen) ReleaseDC(nullptr, screen);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    // The GUI font every system has.
    return FontSpec{"MS Shell Dlg 2", font_policy::QuarterPoints(8.0), FW_NORMAL};
  }
  const LOGFONTW& font = metrics.lfMessageFont;
  // The system gives the height in pixels at its own DPI; points travel.
  const double points =
      std::abs(font.lfHeight) * 72.0 / (systemDpi > 0 ? systemDpi : USER_DEFAULT_SCREEN_DPI);
  return FontSpec{Utf8(font.lfFaceName),
                  font_policy::QuarterPoints(points),
                  static_cast<int>(font.lfWeight),
                  font.lfItalic != 0,
                  false,
                  false,
                  font.lfCharSet};
}

Font MakeFont(const FontSpec& font, int dpi) {
  // Quarter points to pixels: -quarterPoints * dpi / (72 * 4).
  const int height = -MulDiv(font.quarterPoints, dpi, 72 * 4);
  const std::wstring family = Wide(font.family);
  HFONT made = CreateFontW(height, 0, 0, 0, font.weight, font.italic, font.underline, font.strikeOut,
                           static_cast<DWORD>(font.characterSet), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, family.c_str());
  if (!made)
    throw Failure("cannot make the font " + font.family + " at " + std::to_string(font.Points()) +
                  " pt: " + LastSystemErrorText());
  return Font(made);
}

bool GdiTextMeasurer::FamilyInstalled(const std::string& family) const {
  return win32::FamilyInstalled(Wide(family));
}

TextExtent GdiTextMeasurer::Measure(const FontSpec& font, const std::string& text) const {
  const Font made = MakeFont(font, dpi_);
  const MeasuringDc measuring(made.Handle());
  const HDC dc = measuring.Dc();
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(dc, &metrics))
    throw Failure("cannot measure the font " + font.family + ": " + LastSystemErrorText());
  if (text.empty()) return {0, static_cast<int>(metrics.tmHeight)};
  const std::wstring wide = Wide(text);
  SIZE advance{};
  if (!GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &advance))
    throw Failure("cannot measure a text in the font " + font.family + ": " + LastSystemErrorText());
  // The ink of a slanted or flourished typeface can start before the pen
  // and reach past the advance: both count. (Only outline fonts report it;
  // the others draw within their advance.)
  ABC first{}, last{};
  const bool outline = GetCharABCWidthsW(dc, wide.front(), wide.front(), &first) &&
                       GetCharABCWidthsW(dc, wide.back(), wide.back(), &last);
  const int left = outline ? std::min(0, first.abcA) : 0;
  const int right = static_cast<int>(advance.cx) - (outline ? std::min(0, static_cast<int>(last.abcC)) : 0);
  return {right - left, static_cast<int>(metrics.tmHeight)};
}

}  // namespace quorvane::win32
