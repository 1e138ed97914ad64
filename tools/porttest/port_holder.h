#pragma once

// Who holds a parallel port now, as quorvane-porttest list shows it: the
// program that marked it (a running Quorvane), else the driver or client
// the system names. One file per system.

#include <string>

#include "port/port_choice.h"

namespace quorvane::porttest {

// Empty when the system tells of no holder.
std::string HolderOf(const port_choice::MachinePort& port);

}  // namespace quorvane::porttest
