#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "common/clock.h"
#include "common/system_sleeper.h"
#include "core/life/program_life.h"
#include "core/life/tick_timer.h"
#include "core/poll_and_answer/thread_priority.h"
#include "front_ends/windows_service/event_log.h"
#include "front_ends/windows_service/service_status.h"
#include "port/port_io.h"

namespace quorvane::win32_service {

// The program's life as a Windows service, with no window: each change of
// the texts and each failure becomes an entry in the event log, and the
// loop's start tells the Service Control Manager the service runs. Its
// loop, on ServiceMain's thread, waits for the poll timer and for the stop event,
// which the control handler sets on the manager's thread; a stop is taken
// as a window close, after an answer under way, never during one.
class ServiceFrontEnd final : public Display, public EventLoop {
 public:
  // Everything is kept by reference and must outlive the front end;
  // `stopAsked` is a manual-reset event.
  ServiceFrontEnd(PortIo& port, const Clock& clock, ServiceStatus& status, EventLog& log, HANDLE stopAsked);

  ProgramLife& Life() { return life_; }

  void StartTimer() override { pollTimer_.Start(); }
  void StopTimer() override { pollTimer_.Stop(); }
  void SetControlText(std::size_t control, const std::string& text) override;
  // A service has no standard error: the failure's entry in the event log
  // (ShowFailureBox) is all there is.
  void WriteErrorLine(const std::string&) override {}
  // An error entry with the text a window's failure box shows.
  void ShowFailureBox(const std::string& text) override { log_.Error(text); }
  int RunEventLoop() override;
  void EndEventLoop(int status) override;

 private:
  ServiceStatus& status_;
  EventLog& log_;
  HANDLE stopAsked_;
  TickTimer pollTimer_;
  std::unique_ptr<Sleeper> sleeper_ = MakeSystemSleeper();
  std::unique_ptr<AnswerPriority> priority_ = MakeThreadPriority();
  ProgramLife life_;
  bool ended_ = false;
  int exitStatus_ = 0;
};

}  // namespace quorvane::win32_service
