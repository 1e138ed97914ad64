#pragma once

// The window's dots per inch and the frame around its client area.

#include <windows.h>

namespace quorvane::win32 {

// The DPI of the screen `window` is on (GetDpiForWindow, Windows 10 1607
// on), else the system's (LOGPIXELSY of the screen).
int WindowDpi(HWND window);

// The outer size of a window of `style` whose client area is `clientWidth`
// x `clientHeight` pixels at `dpi` (the frame is scaled for that DPI where
// the system can).
SIZE FrameForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

}  // namespace quorvane::win32
