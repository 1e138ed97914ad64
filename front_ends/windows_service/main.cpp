// quorvane-service.exe: the program's life as a Windows service, with no
// window, started by the Service Control Manager at boot whether or not
// anybody logs on. It works in the machine's data folder (its restart log
// is Quorvane.log there), writes its changes of state (started, stopped,
// failed) to the Application event log, and ends on a stop, a shutdown or
// a failure; a failure ends it with a code of its own, which the manager's
// failure actions (set by the installer) answer by starting it again.
// Run by the installer with an argument, it sets up the folders' rights and
// the service's instead (admin_modes.h).
//
// The manager's dispatcher runs on the main thread and calls the control
// handler there; the life runs on ServiceMain's thread, which the
// dispatcher makes. The handler touches nothing of the life: it tells the
// manager a stop is under way and sets the event the life's loop waits for.

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "common/failure.h"
#include "common/system_clock.h"
#include "common/windows_text.h"
#include "core/life/program_life.h"
#include "front_ends/windows_service/admin_modes.h"
#include "front_ends/windows_service/data_folder.h"
#include "front_ends/windows_service/event_log.h"
#include "front_ends/windows_service/service_front_end.h"
#include "front_ends/windows_service/service_status.h"
#include "port/dynamic_library_win32.h"
#include "port/inpout.h"

namespace quorvane::win32_service {
namespace {

// The service's name, and its event source's.
wchar_t serviceName[] = QUORVANE_SERVICE_NAME_W;

// What the control handler reaches. Both are set before the service takes
// any control (Running), and never change after.
struct ControlTarget {
  SERVICE_STATUS_HANDLE status = nullptr;
  HANDLE stopAsked = nullptr;
};

DWORD WINAPI Control(DWORD control, DWORD, void*, void* context) {
  const auto& target = *static_cast<const ControlTarget*>(context);
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
    case SERVICE_CONTROL_PRESHUTDOWN:
      ServiceStatus::Stopping(target.status);
      SetEvent(target.stopAsked);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    default: return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// The whole run; returns the exit status.
int Run(ServiceStatus& status, ServiceEvents& events, HANDLE stopAsked) {
  try {
    WorkInDataFolder();
    events.KeepRecordIn(DataFolder() + L"\\last-failure.txt");
    // Both outlive the front end, which keeps them by reference.
    SystemClock clock;
    InpoutLibrary port;
    ServiceFrontEnd frontEnd(port, clock, status, events, stopAsked);
    const int exitStatus = frontEnd.Life().Run();
    if (exitStatus == 0) events.Stopped();
    return exitStatus;
  } catch (const std::exception& failure) {
    // Before the life started (the data folder), or its loop failed.
    events.Failed(FailureBoxText(failure.what()));
  } catch (...) {
    events.Failed(FailureBoxText("the service failed for an unknown reason"));
  }
  return kFailureExitStatus;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  // The one target for the process's one run; the handler may be called
  // until the process ends, so it is never freed.
  static ControlTarget target;
  target.stopAsked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  target.status = RegisterServiceCtrlHandlerExW(serviceName, Control, &target);
  // Without a status handle there is nobody to tell anything to.
  if (!target.status) return;
  ServiceStatus status(target.status);
  EventLog log(serviceName);
  ServiceEvents events(log);
  if (!target.stopAsked) {
    events.Failed(FailureBoxText("cannot make the service's stop event: " + win32::LastSystemErrorText()));
    status.Stopped(kFailureExitStatus);
    return;
  }
  status.Starting();
  status.Stopped(Run(status, events, target.stopAsked));
}

}  // namespace
}  // namespace quorvane::win32_service

int main() {
  using namespace quorvane::win32_service;
  // Before anything else is loaded: every later load of the process only
  // from the program's folder and the system folder.
  quorvane::win32::KeepLoadsToTrustedFolders();
  int argc = 0;
  const std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(CommandLineToArgvW(GetCommandLineW(), &argc),
                                                             &LocalFree);
  if (argv)
    if (const auto status = RunAdminMode(argc, argv.get())) return *status;
  SERVICE_TABLE_ENTRYW services[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
  // Returns once the service has stopped.
  if (StartServiceCtrlDispatcherW(services)) return 0;
  const DWORD error = GetLastError();
  const std::string message =
      error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
          ? "quorvane-service.exe runs only as a Windows service, started by the Service Control Manager "
            "(the installer sets it up; Quorvane.exe is the program with a window)"
          : "cannot start the service: " + quorvane::win32::SystemErrorText(error);
  std::fprintf(stderr, "%s\n", quorvane::ErrorLine(message).c_str());
  return quorvane::kFailureExitStatus;
}
