#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "common/clock.h"
#include "port/port_io.h"
#include "window/program_life.h"
#include "window/tick_timer.h"
#include "window/win32_service/event_log.h"
#include "window/win32_service/service_status.h"

namespace quorvane::win32_service {

// The program's life as a Windows service, with no window: each change of
// the texts and each failure becomes an entry in the event log, and the
// window's "show" tells the Service Control Manager the service runs. Its
// loop, on ServiceMain's thread, waits for Timer1 and for the stop event,
// which the control handler sets on the manager's thread; a stop is taken
// as a window close, after an answer under way, never during one.
class ServiceFrontEnd final : public FrontEnd {
 public:
  // Everything is kept by reference and must outlive the front end;
  // `stopAsked` is a manual-reset event.
  ServiceFrontEnd(PortIo& port, const Clock& clock, ServiceStatus& status, EventLog& log, HANDLE stopAsked);

  ProgramLife& Life() { return life_; }

  void StartTimer() override { timer1_.Start(); }
  void StopTimer() override { timer1_.Stop(); }
  // Loaded: the service runs, and the status line it starts with is logged.
  void ShowWindow() override;
  void MinimiseWindow() override {}
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
  TickTimer timer1_;
  ProgramLife life_;
  bool ended_ = false;
  int exitStatus_ = 0;
};

}  // namespace quorvane::win32_service
