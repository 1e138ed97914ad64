#pragma once

// What the window's font choice needs of a toolkit: whether a family is
// installed, and how large a text comes out in a font. Each front end
// implements it with its own measuring calls; the choice itself is made once,
// in window/font_policy.h.

#include <string>

namespace quorvane {

// A font as the window asks for it. Sizes are whole quarter points, the
// steps in which a font is made smaller.
struct FontSpec {
  std::string family;
  int quarterPoints = 0;  // 87 is 21.75 pt
  int weight = 400;       // 400 is normal, 700 bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int characterSet = 0;  // 0: the typeface's own Western set

  double Points() const { return quarterPoints / 4.0; }
  bool operator==(const FontSpec&) const = default;
};

// In pixels of the screen the window is laid out for.
struct TextExtent {
  int width = 0;
  int height = 0;
};

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual bool FamilyInstalled(const std::string& family) const = 0;
  // `text` drawn on one line in `font`: the width from the leftmost to the
  // rightmost pixel it may cover (its advance, or its ink where a slanted or
  // flourished typeface reaches past the advance or before the pen), and the
  // font's line height.
  virtual TextExtent Measure(const FontSpec& font, const std::string& text) const = 0;
};

}  // namespace quorvane
