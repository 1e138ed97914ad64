#include "core/startup/start_up.h"

#include "common/clock_text.h"
#include "core/startup/restart_log.h"
#include "port/port_map.h"

namespace quorvane {

void StartUp(PortIo& port, StatusDisplay& display, const Clock& clock) {
  // The first port access of the run: a missing port library ends the
  // program here, before the restart log is touched.
  port.Out32(port_map::kControl, port_map::kAnswerIdle);
  const LocalTime now = clock.Local();
  display.SetLastRestartText(DateText(now) + " " + TimeText(now));
  // The log reads the clock again, so near a second boundary the shown and
  // the logged stamps may differ by a second.
  AppendRestartStamp(clock);
}

}  // namespace quorvane
