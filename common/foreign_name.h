#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvane {

// A name that another process chose (its command line, a driver's entry),
// made fit to show in a message as text: quoted, its printable ASCII kept and
// every other byte shown as '?', so that a newline or a terminal's escape
// sequence in it cannot start a line of its own or repaint the screen, and
// cut to kForeignNameLimit characters ("..." marks the cut).
std::string QuotedForeignName(std::string_view name);

inline constexpr std::size_t kForeignNameLimit = 64;

}  // namespace quorvane
