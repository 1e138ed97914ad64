// Windows: SetupAPI names no holder, and a running Quorvane's mark is seen
// when the port is opened (watch, loopback); the list says what it knows.
#include "tools/porttest/port_holder.h"

namespace quorvane::porttest {

std::string HolderOf(const port_choice::MachinePort& port) { return port.holder; }

}  // namespace quorvane::porttest
