#pragma once

// Notices when a top-level window with a given title is mapped (shown) on
// the X display, at the moment the server's MapNotify reaches us. Watching
// the root window's substructure catches the map itself, not a later poll.
// Without an X display (or without Xlib at build time) it reports nothing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quorvane::bench {

class WindowProbe {
 public:
  // Starts watching at once; create it before starting the program.
  WindowProbe();
  ~WindowProbe();
  WindowProbe(const WindowProbe&) = delete;
  WindowProbe& operator=(const WindowProbe&) = delete;

  bool Available() const;

  // CLOCK_MONOTONIC ns when a window titled title was mapped, waiting at
  // most timeoutMs; nullopt if none was.
  std::optional<std::uint64_t> WaitForShown(const std::string& title, int timeoutMs);

 private:
  struct Display;
  std::unique_ptr<Display> display_;
};

}  // namespace quorvane::bench
