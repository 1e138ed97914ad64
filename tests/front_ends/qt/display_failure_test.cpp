// The line the window program leaves when it can open no display.
#include "front_ends/qt/display_failure.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(NoDisplayMessage, NamesTheDisplayOrTheSettingThatFailed) {
  const struct {
    DisplaySettings settings;  // platform, DISPLAY, WAYLAND_DISPLAY
    const char* message;
  } table[] = {
      {{"", "", ""},
       "no display: DISPLAY is not set, so the window has nowhere to show (start it in a desktop session, or "
       "run "
       "quorvane-console)"},
      {{"", ":7391", ""},
       "cannot open the X display :7391 (DISPLAY): no X server there accepts the connection"},
      {{"xcb", "remote:0.0", "wayland-0"},
       "cannot open the X display remote:0.0 (DISPLAY): no X server there accepts the connection"},
      // Without a platform named, Qt tries a named Wayland display first.
      {{"", "", "wayland-9"},
       "cannot open the Wayland display wayland-9 (WAYLAND_DISPLAY), and DISPLAY is not set"},
      {{"", ":0", "wayland-9"},
       "cannot open the Wayland display wayland-9 (WAYLAND_DISPLAY) nor the X display :0 (DISPLAY)"},
      {{"wayland", ":0", ""},
       "no display: WAYLAND_DISPLAY is not set, so the window has nowhere to show (start it in a desktop "
       "session, "
       "or run quorvane-console)"},
      {{"wayland-egl", "", "w"}, "cannot open the Wayland display w (WAYLAND_DISPLAY)"},
      {{"eglfs", ":0", ""}, "cannot start the window system \"eglfs\" named by QT_QPA_PLATFORM"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.settings.platform + "|" + row.settings.xDisplay + "|" + row.settings.waylandDisplay);
    EXPECT_EQ(NoDisplayMessage(row.settings), row.message);
  }
}

}  // namespace
}  // namespace quorvane
