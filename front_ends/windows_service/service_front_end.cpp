#include "front_ends/windows_service/service_front_end.h"

#include "common/failure.h"
#include "common/windows_text.h"
#include "core/life/tick_timer_win32.h"
#include "core/status_window/window_description.h"

namespace quorvane::win32_service {

ServiceFrontEnd::ServiceFrontEnd(PortIo& port, const Clock& clock, ServiceStatus& status,
                                 ServiceEvents& events, HANDLE stopAsked)
    : status_(status),
      events_(events),
      stopAsked_(stopAsked),
      pollTimer_(status_window::kPollTimer.interval),
      life_(*this, *this, port, clock, *sleeper_, *priority_) {}

int ServiceFrontEnd::RunEventLoop() {
  // Started: the port library is loaded, the port marked and the restart
  // log stamped.
  status_.Running();
  events_.Started(life_.Text(status_window::IndexShowing(status_window::StatusField::kLastRestart)));
  // One thread waits for both. The stop event comes first when both are
  // signalled: a stop asked during an answer ends the service right after
  // it, without another poll. A wake runs at most one tick, however many
  // periods came due (an answer's three seconds among them).
  while (!ended_) {
    HANDLE handles[] = {stopAsked_, static_cast<HANDLE>(WaitHandle(pollTimer_))};
    const DWORD count = handles[1] ? 2 : 1;
    const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
    if (woke == WAIT_FAILED) {
      life_.FrontEndFailed("the service's wait for the poll timer failed: " + win32::LastSystemErrorText());
    } else if (woke == WAIT_OBJECT_0) {
      life_.StopAsked();
    } else if (woke == WAIT_OBJECT_0 + 1) {
      try {
        if (pollTimer_.TakeExpirations() > 0) life_.OnPollTick();
      } catch (const Failure& failure) {
        life_.FrontEndFailed(failure.what());
      }
    }
  }
  return exitStatus_;
}

void ServiceFrontEnd::EndEventLoop(int status) {
  ended_ = true;
  exitStatus_ = status;
}

}  // namespace quorvane::win32_service
