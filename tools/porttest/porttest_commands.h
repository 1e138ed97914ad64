#pragma once

// What quorvane-porttest does, over the program's own port binding and the
// rule that chooses the port, so that the field sees the port exactly as
// the program would. Output goes to the stream given; waits go through
// `pause`, so the commands run against a fake port in the tests.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "port/port_choice.h"
#include "port/port_io.h"

namespace quorvane::porttest {

// Waits this many milliseconds.
using Pause = std::function<void(int milliseconds)>;

// The machine's ports, the setting, the port Quorvane would use and why.
// `holderOf` names who holds a port now (empty when free). Returns the exit
// status: 0 when Quorvane would find a port, 1 when not.
int List(const port_choice::MachinePorts& machine, const port_choice::Setting& setting,
         const std::function<std::string(const port_choice::MachinePort&)>& holderOf, std::ostream& out);

// Shows the request line and the other status lines for `seconds`, one
// line at the start and one at every change, polled every 50 ms.
int Watch(PortIo& port, std::int16_t base, int seconds, const Pause& pause, std::ostream& out);

// With a plug wiring pin 1 (Strobe) to pin 13 (Select): toggles the answer
// line and checks that the request line follows it, inverted as the port
// inverts Strobe; says which line fails, or that no plug is in. Leaves the
// answer line at its idle level. 0 when the plug's loop holds, else 1.
int Loopback(PortIo& port, std::int16_t base, const Pause& pause, std::ostream& out);

}  // namespace quorvane::porttest
