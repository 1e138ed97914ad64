#pragma once

#include <QRect>

namespace quorvane {

// The window's layout is kept in twips, as it was drawn; on screen a pixel is
// 15 twips (96 dots per inch), in Qt's device-independent pixels, so Qt's own
// scaling takes care of high-DPI screens.
inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }

constexpr QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
               TwipsToPixels(height));
}

}  // namespace quorvane
