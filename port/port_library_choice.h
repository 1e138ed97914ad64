#pragma once

// Who chooses the port: on Windows the program itself, since inpout32.dll
// reaches any I/O port and knows none (port_library_choice_win32.cpp); on
// Linux the port library, which knows the kernel's ports and reports its
// choice (InpOutPortBase), or keeps the port at 888 as the simulated one
// does (port_library_choice_posix.cpp).

#include <optional>

#include "port/port_io.h"

namespace quorvane {

// The program's own choice, made before the port is marked and the library
// loaded; nullopt where the library chooses. Throws Failure, listing the
// machine's ports, when the rule finds none to take.
std::optional<ChosenPort> ChoosePortBeforeLoading();

}  // namespace quorvane
