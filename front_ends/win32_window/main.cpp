// Quorvane.exe: the status window on Windows. The program's life
// (core/life/program_life.h) on the Win32 API: the window is created hidden,
// the start-up work runs, the window shows and the message loop takes over,
// whose the poll timer ticks poll the request line and answer it.

#include <exception>

#include "common/system_clock.h"
#include "core/life/program_life.h"
#include "front_ends/win32_window/failure_report.h"
#include "front_ends/win32_window/status_window.h"
#include "port/dynamic_library_win32.h"
#include "port/inpout.h"

int main() {
  // Before anything else is loaded (the window's own libraries load
  // others as they go): every later load only from the program's folder
  // and the system folder.
  quorvane::win32::KeepLoadsToTrustedFolders();
  try {
    // Both outlive the window, which keeps them by reference.
    quorvane::SystemClock clock;
    quorvane::InpoutLibrary port;
    quorvane::win32::StatusWindow form(port, clock);
    return form.Life().Run();
  } catch (const std::exception& failure) {
    // The window could not be made, or its message loop failed.
    quorvane::win32::ReportFailure(failure.what());
  } catch (...) {
    quorvane::win32::ReportFailure("the window failed for an unknown reason");
  }
  return quorvane::kFailureExitStatus;
}
