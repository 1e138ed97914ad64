#include "core/startup/start_up.h"

#include "common/clock_text.h"
#include "core/startup/restart_log.h"
#include "port/port_map.h"

namespace quorvane {

ChosenPort StartUp(PortIo& port, StatusDisplay& display, const Clock& clock) {
  // The first port access of the run: a missing port library, or no port
  // to take, ends the program here, before the restart log is touched.
  ChosenPort chosen = port.ChoosePort();
  port.Out32(static_cast<std::int16_t>(chosen.base + port_map::kControlOffset), port_map::kAnswerIdle);
  const LocalTime now = clock.Local();
  display.SetLastRestartText(DateText(now) + " " + TimeText(now));
  // The log reads the clock again, so near a second boundary the shown and
  // the logged stamps may differ by a second.
  AppendRestartStamp(clock);
  return chosen;
}

}  // namespace quorvane
