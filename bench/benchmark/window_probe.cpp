#include "bench/benchmark/window_probe.h"

#include "port_libraries/simulated/simulated_port_client.h"

#ifdef QUORVANE_BENCH_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#endif

namespace quorvane::bench {

#ifdef QUORVANE_BENCH_X11

struct WindowProbe::Display {
  ::Display* x = nullptr;
};

namespace {

// The window's title: _NET_WM_NAME (UTF-8) when set, else WM_NAME.
std::string Title(::Display* x, Window window) {
  for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
    Atom property = XInternAtom(x, name, False), type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x, window, property, 0, 256, False, AnyPropertyType, &type, &format, &items,
                           &after, &data) == Success &&
        data) {
      std::string title(reinterpret_cast<char*>(data), items);
      XFree(data);
      if (!title.empty()) return title;
    }
  }
  return {};
}

}  // namespace

WindowProbe::WindowProbe() : display_(std::make_unique<Display>()) {
  display_->x = XOpenDisplay(nullptr);
  if (!display_->x) return;
  XSelectInput(display_->x, DefaultRootWindow(display_->x), SubstructureNotifyMask);
  XSync(display_->x, False);
}

WindowProbe::~WindowProbe() {
  if (display_->x) XCloseDisplay(display_->x);
}

bool WindowProbe::Available() const { return display_->x != nullptr; }

std::optional<std::uint64_t> WindowProbe::WaitForShown(const std::string& title, int timeoutMs) {
  if (!display_->x) return std::nullopt;
  const std::uint64_t deadline = simport::NowNs() + static_cast<std::uint64_t>(timeoutMs) * 1000000u;
  for (;;) {
    while (XPending(display_->x)) {
      XEvent event;
      XNextEvent(display_->x, &event);
      const std::uint64_t seenNs = simport::NowNs();
      if (event.type == MapNotify && Title(display_->x, event.xmap.window) == title) return seenNs;
    }
    const std::uint64_t now = simport::NowNs();
    if (now >= deadline) return std::nullopt;
    pollfd connection{ConnectionNumber(display_->x), POLLIN, 0};
    ::poll(&connection, 1, static_cast<int>((deadline - now) / 1000000u) + 1);
  }
}

#else

struct WindowProbe::Display {};
WindowProbe::WindowProbe() = default;
WindowProbe::~WindowProbe() = default;
bool WindowProbe::Available() const { return false; }
std::optional<std::uint64_t> WindowProbe::WaitForShown(const std::string&, int) { return std::nullopt; }

#endif

}  // namespace quorvane::bench
