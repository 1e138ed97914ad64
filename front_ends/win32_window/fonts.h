#pragma once

// The controls' fonts: chosen by family and size in points, made for the
// screen's DPI and measured with GDI, so that a box is known to hold its
// texts before they are shown.

#include <windows.h>

#include <string>

#include "core/status_window/text_measurer.h"

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

// True when a font family of this name is installed.
bool FamilyInstalled(const std::wstring& family);

// The desktop's font for messages and dialogs, at its size in points (to the
// nearest quarter point).
FontSpec MessageFont();

// `font` for a screen of `dpi` (its height -points * dpi / 72 pixels,
// rounded). A font the system cannot make is a failure.
Font MakeFont(const FontSpec& font, int dpi);

// Measures with GDI, on a screen of `dpi`.
class GdiTextMeasurer final : public TextMeasurer {
 public:
  explicit GdiTextMeasurer(int dpi) : dpi_(dpi) {}
  bool FamilyInstalled(const std::string& family) const override;
  TextExtent Measure(const FontSpec& font, const std::string& text) const override;

 private:
  int dpi_;
};

}  // namespace quorvane::win32
