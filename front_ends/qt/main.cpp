// quorvane: the status window. The program's life (core/life/program_life.h)
// on Qt Widgets: the window is created hidden, the start-up work runs, the
// window shows and the event loop takes over, whose the poll timer ticks poll the
// request line and answer it.

#include <QApplication>

#include <cstdio>
#include <exception>

#include "common/system_clock.h"
#include "front_ends/qt/display_failure.h"
#include "front_ends/qt/icon.h"
#include "front_ends/qt/status_window.h"
#include "port/inpout.h"

int main(int argc, char* argv[]) {
  const auto application = quorvane::OpenApplication(argc, argv);
  QApplication::setWindowIcon(quorvane::MeasuringScreenIcon());

  // Both outlive the window, which keeps them by reference.
  quorvane::SystemClock clock;
  quorvane::InpoutLibrary port;
  try {
    quorvane::StatusWindow form(port, clock);
    return form.Life().Run();
  } catch (const std::exception& failure) {
    // The window could not be made (its stop signals could not be watched):
    // nothing has started yet.
    std::fprintf(stderr, "%s\n", quorvane::ErrorLine(failure.what()).c_str());
  }
  return quorvane::kFailureExitStatus;
}
