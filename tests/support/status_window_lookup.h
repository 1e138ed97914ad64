#pragma once

// Finding a control of the window's description by name, which only tests
// do: the program goes by what each control shows.

#include <cstddef>
#include <string_view>

#include "core/status_window/window_description.h"

namespace quorvane::status_window {

// Where the control named `name` stands in kControls; kControls.size() when
// there is none.
constexpr std::size_t IndexOf(std::string_view name) {
  for (std::size_t i = 0; i < kControls.size(); ++i)
    if (kControls[i].name == name) return i;
  return kControls.size();
}

}  // namespace quorvane::status_window
