#include "front_ends/windows_service/service_status.h"

#include <chrono>

#include "core/status_window/window_description.h"
#include "port/answer_pattern.h"

namespace quorvane::win32_service {

namespace {

using std::chrono::milliseconds;

// A stop waits for an answer under way (its last write is due this long
// after its first) and for the tick it runs in to end; a second more for a
// machine that is busy.
constexpr milliseconds kAnswer = std::chrono::duration_cast<milliseconds>(
    std::chrono::nanoseconds(answer_pattern::kSteps.back().offsetNs));
constexpr milliseconds kStopHint = kAnswer + status_window::kPollTimer.interval + milliseconds(1000);
static_assert(kStopHint >= milliseconds(4000), "a stop's hint covers a whole answer");
// The start loads the port library and appends to the restart log.
constexpr milliseconds kStartHint(10'000);

constexpr DWORD kControlsWhileRunning =
    SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN;

void Report(SERVICE_STATUS_HANDLE handle, DWORD state, DWORD controls, milliseconds hint,
            DWORD exitCode = NO_ERROR, DWORD specificExitCode = 0) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = controls;
  status.dwWin32ExitCode = exitCode;
  status.dwServiceSpecificExitCode = specificExitCode;
  // A pending state's one step: the hint is the whole wait.
  status.dwCheckPoint = hint.count() > 0 ? 1 : 0;
  status.dwWaitHint = static_cast<DWORD>(hint.count());
  // Nowhere left to report a manager that cannot be told.
  SetServiceStatus(handle, &status);
}

}  // namespace

void ServiceStatus::Starting() { Report(handle_, SERVICE_START_PENDING, 0, kStartHint); }

void ServiceStatus::Running() { Report(handle_, SERVICE_RUNNING, kControlsWhileRunning, milliseconds(0)); }

void ServiceStatus::Stopped(int exitStatus) {
  if (exitStatus == 0) {
    Report(handle_, SERVICE_STOPPED, 0, milliseconds(0));
    return;
  }
  // The service's own code, which the manager counts as a failure.
  Report(handle_, SERVICE_STOPPED, 0, milliseconds(0), ERROR_SERVICE_SPECIFIC_ERROR,
         static_cast<DWORD>(exitStatus));
}

void ServiceStatus::Stopping(SERVICE_STATUS_HANDLE handle) {
  Report(handle, SERVICE_STOP_PENDING, 0, kStopHint);
}

}  // namespace quorvane::win32_service
