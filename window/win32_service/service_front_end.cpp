#include "window/win32_service/service_front_end.h"

#include "common/failure.h"
#include "common/windows_text.h"
#include "window/form1_description.h"
#include "window/tick_timer_win32.h"

namespace quorvane::win32_service {

ServiceFrontEnd::ServiceFrontEnd(PortIo& port, const Clock& clock, ServiceStatus& status, EventLog& log,
                                 HANDLE stopAsked)
    : status_(status),
      log_(log),
      stopAsked_(stopAsked),
      timer1_(form1::kTimer1.interval),
      life_(*this, port, clock) {}

void ServiceFrontEnd::ShowWindow() {
  status_.Running();
  SetControlText(form1::kStatusLine, life_.Text(form1::kStatusLine));
}

void ServiceFrontEnd::SetControlText(std::size_t control, const std::string& text) {
  log_.Information(std::string(form1::FieldName(form1::kControls[control].shows)) + ": " + text);
}

int ServiceFrontEnd::RunEventLoop() {
  // One thread waits for both. The stop event comes first when both are
  // signalled: a stop asked during an answer ends the service right after
  // it, without another poll. A wake runs at most one tick, however many
  // periods came due (an answer's three seconds among them).
  while (!ended_) {
    HANDLE handles[] = {stopAsked_, static_cast<HANDLE>(WaitHandle(timer1_))};
    const DWORD count = handles[1] ? 2 : 1;
    const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
    if (woke == WAIT_FAILED) {
      life_.FrontEndFailed("the service's wait for Timer1 failed: " + win32::LastSystemErrorText());
    } else if (woke == WAIT_OBJECT_0) {
      life_.StopAsked();
    } else if (woke == WAIT_OBJECT_0 + 1) {
      try {
        if (timer1_.TakeExpirations() > 0) life_.Timer1_Timer();
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
