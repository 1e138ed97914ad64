#pragma once

// Looking at the X display the window program runs on, through xdotool and
// xprop: which of its windows are visible, and dismissing a message box.

#include <sstream>
#include <string>
#include <vector>

#include "command_output.h"
#include "core/status_window/window_description.h"

namespace quorvane::e2e {

// The caption of the window and of its failure box.
using status_window::kCaption;

using testing::RunCommand;

// Ids of the visible windows whose title is exactly caption.
inline std::vector<std::string> VisibleWindows(const std::string& caption) {
  std::istringstream ids(
      RunCommand({"xdotool", "search", "--onlyvisible", "--name", "^" + caption + "$"}).standardOutput);
  std::vector<std::string> windows;
  for (std::string id; ids >> id;) windows.push_back(id);
  return windows;
}

enum class WindowKind { kGone, kDialog, kOther };

// A window found a moment ago may be gone by now (the box just dismissed).
inline WindowKind KindOf(const std::string& window) {
  const std::string type = RunCommand({"xprop", "-id", window, "_NET_WM_WINDOW_TYPE"}).standardOutput;
  // "_NET_WM_WINDOW_TYPE(ATOM) = ..." while the window is there; the toolkit
  // sets the type on every window it shows.
  if (type.find("(ATOM) =") == std::string::npos) return WindowKind::kGone;
  return type.find("DIALOG") != std::string::npos ? WindowKind::kDialog : WindowKind::kOther;
}

// Enter presses the box's default button. There is no window manager under
// the virtual server, so the box is given the focus first. Says whether
// xdotool did it; a caller that goes on regardless sees the box still there.
inline bool PressEnterOn(const std::string& window) {
  return RunCommand({"xdotool", "windowfocus", "--sync", window, "key", "Return"}).exitCode == 0;
}

}  // namespace quorvane::e2e
