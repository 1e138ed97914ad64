#pragma once

#include "common/clock.h"
#include "core/status_window/status_display.h"
#include "port/port_io.h"

namespace quorvane {

// The one-time work when the window is loaded, before it is shown, in this
// order: the port chosen and the answer line to its idle level 1 (the first
// port access of a run); the last-restart text := Date text, a space, Time
// text; then one line appended to the restart log. Returns the port chosen,
// for the polls. Throws Failure; when the port library is missing, or no
// port can be taken, the log is never touched.
ChosenPort StartUp(PortIo& port, StatusDisplay& display, const Clock& clock);

}  // namespace quorvane
