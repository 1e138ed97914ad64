#pragma once

// The controls' fonts: chosen by family and size in points, made for the
// screen's DPI and measured with GDI, so that a box is known to hold its
// texts before they are shown.

#include <windows.h>

#include <span>
#include <string>

namespace quorvane::win32 {

// An owned GDI font; empty or holding one font.
class Font {
 public:
  Font() = default;
  explicit Font(HFONT handle) : handle_(handle) {}
  Font(Font&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Font& operator=(Font&& other) noexcept;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font();

  HFONT Handle() const { return handle_; }

 private:
  HFONT handle_ = nullptr;
};

struct FontChoice {
  std::wstring family;
  double points;
  int weight;  // 400 is normal
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int characterSet = DEFAULT_CHARSET;
};

struct PixelSize {
  int width;
  int height;
};

// True when a font family of this name is installed.
bool FamilyInstalled(const std::wstring& family);

// The desktop's font for messages and dialogs, at its size in points.
FontChoice MessageFontChoice();

// The font of `choice` for a screen of `dpi` (its height -points * dpi / 72
// pixels, rounded). A font the system cannot make is a failure.
Font MakeFont(const FontChoice& choice, int dpi);

// True when `font`, drawn on one line, keeps every one of `texts` wholly
// inside `box`: its line height, and each text's ink as well as its advance.
bool FitsBox(HFONT font, std::span<const std::wstring> texts, PixelSize box);

// `choice` itself when it fits; otherwise the same family stepped down by the
// window's shrink step until it does (never below the smallest size).
FontChoice ShrinkToFit(FontChoice choice, int dpi, std::span<const std::wstring> texts, PixelSize box);

// Its widest digit, for the texts in which any digit may stand.
char WidestDigit(HFONT font);

}  // namespace quorvane::win32
