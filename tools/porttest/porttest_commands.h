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

// The ports for an installer to offer, one a line: the base in hex, a
// space, then the system's name ("0x378 LPT1"). The port Quorvane would use
// now (the rule, with the setting as it stands) comes first, so that it is
// the one offered; a base the setting chooses that the system does not list
// (where its list proves nothing) is offered too. Nothing when there is
// nothing to offer. The installer writes the first word of the line chosen
// as the setting (packaging/windows/port_choice.nsh). Returns 0.
int ListBases(const port_choice::MachinePorts& machine, const port_choice::Setting& setting,
              std::ostream& out);

// A base for the setting, checked as the program reads a setting (a number
// between 4 and 0xfffc, a multiple of 4; no name): prints it in hex on one
// line ("0x278") and returns 0, else prints why not on `err` and returns 1.
int CheckBase(const std::string& text, std::ostream& out, std::ostream& err);

// Shows the request line and the other status lines for `seconds`, one
// line at the start and one at every change, polled every 50 ms.
int Watch(PortIo& port, std::int16_t base, int seconds, const Pause& pause, std::ostream& out);

// With a plug wiring pin 1 (Strobe) to pin 13 (Select): toggles the answer
// line and checks that the request line follows it, inverted as the port
// inverts Strobe; says which line fails, or that no plug is in. Leaves the
// answer line at its idle level. 0 when the plug's loop holds, else 1.
int Loopback(PortIo& port, std::int16_t base, const Pause& pause, std::ostream& out);

}  // namespace quorvane::porttest
