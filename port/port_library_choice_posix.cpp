// Linux: the port library chooses the port (port_library_choice.h).
#include "port/port_library_choice.h"

namespace quorvane {

std::optional<ChosenPort> ChoosePortBeforeLoading() { return std::nullopt; }

}  // namespace quorvane
