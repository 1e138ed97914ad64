#include "startup/form_load.h"

#include "common/clock_text.h"
#include "port/port_map.h"
#include "startup/restart_log.h"

namespace quorvane {

void Form_Load(FormVariables& variables, PortIo& port, StatusDisplay& display, const Clock& clock) {
  variables.PortBase = port_map::kBase;
  // The first port access of the run: a missing port library ends the
  // program here, before the restart log is touched.
  port.Out32(port_map::kControl, port_map::kAnswerIdle);
  const LocalTime now = clock.Local();
  display.SetLastRestartText(DateText(now) + " " + TimeText(now));
  // The log reads the clock again, so near a second boundary the shown and
  // the logged stamps may differ by a second.
  LogDateTime(clock);
}

}  // namespace quorvane
