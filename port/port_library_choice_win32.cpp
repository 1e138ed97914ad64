// Windows: the program chooses the port by the rule, from the ports
// SetupAPI lists and the administrator's PortBase (port_library_choice.h).
#include "port/port_library_choice.h"

#include "common/failure.h"
#include "port/machine_ports.h"

namespace quorvane {

std::optional<ChosenPort> ChoosePortBeforeLoading() {
  const port_choice::Choice choice = ChooseThisMachinesPort();
  if (!choice.ok) throw Failure(choice.failure);
  return ChosenPort{static_cast<std::int16_t>(choice.base), choice.why};
}

}  // namespace quorvane
