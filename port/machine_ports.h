#pragma once

// The machine's parallel ports and the administrator's port setting, as
// this system keeps them, and the port the rule (port_choice.h) takes from
// them: the one choice the Linux hardware port library, the Windows program
// and quorvane-porttest all make. One file per system: on Linux the
// kernel's list and /etc/quorvane.conf (machine_ports_posix.cpp), on Windows
// the Ports class of SetupAPI and HKLM\SOFTWARE\Quorvane
// (machine_ports_win32.cpp).

#include "port/port_choice.h"

namespace quorvane {

port_choice::MachinePorts ListMachinePorts();
port_choice::Setting ReadPortSetting();

// The rule over the two above.
port_choice::Choice ChooseThisMachinesPort();

}  // namespace quorvane
