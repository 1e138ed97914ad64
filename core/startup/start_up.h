#pragma once

#include "common/clock.h"
#include "core/status_window/status_display.h"
#include "port/port_io.h"

namespace quorvane {

// The one-time work when the window is loaded, before it is shown, in this
// order: the answer line to its idle level 1 (the first
// port access of a run); the last-restart text := Date text, a space, Time
// text; then one line appended to the restart log. Throws Failure; when the
// port library is missing the log is never touched.
void StartUp(PortIo& port, StatusDisplay& display, const Clock& clock);

}  // namespace quorvane
