#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "common/clock.h"
#include "common/system_sleeper.h"
#include "core/life/program_life.h"
#include "core/life/tick_timer.h"
#include "core/poll_and_answer/thread_priority.h"
#include "front_ends/windows_service/service_events.h"
#include "front_ends/windows_service/service_status.h"
#include "port/port_io.h"

namespace quorvane::win32_service {

// The program's life as a Windows service, with no window: its start and
// its failures become entries in the event log (service_events.h), and the
// loop's start tells the Service Control Manager the service runs. Its
// loop, on ServiceMain's thread, waits for the poll timer and for the stop event,
// which the control handler sets on the manager's thread; a stop is taken
// as a window close, after an answer under way, never during one.
class ServiceFrontEnd final : public Display, public EventLoop {
 public:
  // Everything is kept by reference and must outlive the front end;
  // `stopAsked` is a manual-reset event.
  ServiceFrontEnd(PortIo& port, const Clock& clock, ServiceStatus& status, ServiceEvents& events,
                  HANDLE stopAsked);

  ProgramLife& Life() { return life_; }

  void StartTimer() override { pollTimer_.Start(); }
  void StopTimer() override { pollTimer_.Stop(); }
  // The texts a window would show are not written: about three entries
  // an answer would flood the event log. The last restart is in the
  // start's entry.
  void SetControlText(std::size_t, const std::string&) override {}
  // A service has no standard error: the failure's entry in the event log
  // (ShowFailureBox) is all there is.
  void WriteErrorLine(const std::string&) override {}
  // An error entry with the text a window's failure box shows, unless the
  // same failure came just before (service_events.h).
  void ShowFailureBox(const std::string& text) override { events_.Failed(text); }
  // An information entry: which port, and why, once.
  void TellPortChoice(const std::string& why) override { events_.Note(why); }
  int RunEventLoop() override;
  void EndEventLoop(int status) override;

 private:
  ServiceStatus& status_;
  ServiceEvents& events_;
  HANDLE stopAsked_;
  TickTimer pollTimer_;
  std::unique_ptr<Sleeper> sleeper_ = MakeSystemSleeper();
  std::unique_ptr<AnswerPriority> priority_ = MakeThreadPriority();
  ProgramLife life_;
  bool ended_ = false;
  int exitStatus_ = 0;
};

}  // namespace quorvane::win32_service
