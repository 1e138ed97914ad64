#include "window/win32/fonts.h"

#include <algorithm>
#include <cmath>

#include "common/failure.h"
#include "window/form1_description.h"
#include "common/windows_text.h"

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

// Sizes are kept in hundredths of a point, as whole numbers, so that each
// shrink step lands exactly (21.75 pt is 2175).
int Hundredths(double points) { return static_cast<int>(std::lround(points * 100)); }

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

FontChoice MessageFontChoice() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  HDC screen = GetDC(nullptr);
  const int systemDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
  if (screen) ReleaseDC(nullptr, screen);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    // The GUI font every system has.
    return FontChoice{L"MS Shell Dlg 2", 8.0, FW_NORMAL};
  }
  const LOGFONTW& font = metrics.lfMessageFont;
  // The system gives the height in pixels at its own DPI; points travel.
  const double points = std::abs(font.lfHeight) * 72.0 / (systemDpi > 0 ? systemDpi : USER_DEFAULT_SCREEN_DPI);
  return FontChoice{font.lfFaceName, std::round(points * 4) / 4, static_cast<int>(font.lfWeight),
                  font.lfItalic != 0, false, false, font.lfCharSet};
}

Font MakeFont(const FontChoice& choice, int dpi) {
  const int height = -MulDiv(Hundredths(choice.points), dpi, 7200);
  HFONT font = CreateFontW(height, 0, 0, 0, choice.weight, choice.italic, choice.underline, choice.strikeOut,
                           static_cast<DWORD>(choice.characterSet), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, choice.family.c_str());
  if (!font)
    throw Failure("cannot make the font " + Utf8(choice.family) + " at " + std::to_string(choice.points) +
                  " pt: " + LastSystemErrorText());
  return Font(font);
}

bool FitsBox(HFONT font, std::span<const std::wstring> texts, PixelSize box) {
  const MeasuringDc measuring(font);
  const HDC dc = measuring.Dc();
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(dc, &metrics) || metrics.tmHeight > box.height) return false;
  for (const std::wstring& text : texts) {
    if (text.empty()) continue;
    SIZE advance{};
    if (!GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &advance)) return false;
    // The ink of a slanted or flourished typeface can start before the pen
    // and reach past the advance: both must fit. (Only outline fonts report
    // it; the others draw within their advance.)
    ABC first{}, last{};
    const bool outline = GetCharABCWidthsW(dc, text.front(), text.front(), &first) &&
                         GetCharABCWidthsW(dc, text.back(), text.back(), &last);
    const int left = outline ? std::min(0, first.abcA) : 0;
    const int right = advance.cx - (outline ? std::min(0, static_cast<int>(last.abcC)) : 0);
    if (right - left > box.width) return false;
  }
  return true;
}

FontChoice ShrinkToFit(FontChoice choice, int dpi, std::span<const std::wstring> texts, PixelSize box) {
  const form1::ShrinkRule& rule = form1::kShrinkRule;
  const int step = Hundredths(rule.stepPoints);
  const int smallest = Hundredths(rule.smallestPoints);
  int size = Hundredths(choice.points);
  for (;;) {
    choice.points = size / 100.0;
    if (size - step < smallest || FitsBox(MakeFont(choice, dpi).Handle(), texts, box)) return choice;
    size -= step;
  }
}

char WidestDigit(HFONT font) {
  const MeasuringDc measuring(font);
  char widest = '0';
  int widestWidth = -1;
  for (char digit = '0'; digit <= '9'; ++digit) {
    const wchar_t text[] = {static_cast<wchar_t>(digit), L'\0'};
    SIZE size{};
    if (GetTextExtentPoint32W(measuring.Dc(), text, 1, &size) && size.cx > widestWidth) {
      widest = digit;
      widestWidth = size.cx;
    }
  }
  return widest;
}

}  // namespace quorvane::win32
