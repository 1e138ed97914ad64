#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// The mark that this process drives the parallel port: one copy of the
// program per port. Taken at the first port access, before anything is
// written to the port or the log, and kept for the life of the process; the
// system drops it when the process ends, however it ends.
//
// On Linux our port libraries mark the port themselves (a flock on the
// ppdev node, or on the simulated port's state file), so there is nothing to
// take here (port_marker_posix.cpp). On Windows a copy runs in every
// session whose user logs on, so the mark spans the sessions
// (port_marker_win32.cpp).
//
// Empty when this process holds the mark (taking it again is harmless),
// otherwise why it cannot: another program holds the port.
// `base` is the port's base; the mark is the port's, not the machine's.
std::string TakePortMark(std::int16_t base);

}  // namespace quorvane
