// quorvane: the status window. The program's life (window/program_life.h)
// on Qt Widgets: the window is created hidden, the start-up work runs, the
// window shows and the event loop takes over, whose Timer1 ticks poll the
// request line and answer it.

#include <QApplication>

#include <cstdio>
#include <exception>

#include "common/system_clock.h"
#include "port/inpout.h"
#include "window/qt/display_failure.h"
#include "window/qt/form1.h"
#include "window/qt/icon.h"

int main(int argc, char* argv[]) {
  const auto application = quorvane::OpenApplication(argc, argv);
  QApplication::setWindowIcon(quorvane::MeasuringScreenIcon());

  // Both outlive the window, which keeps them by reference.
  quorvane::SystemClock clock;
  quorvane::InpoutLibrary port;
  try {
    quorvane::Form1 form(port, clock);
    return form.Life().Run();
  } catch (const std::exception& failure) {
    // The window could not be made (its stop signals could not be watched):
    // nothing has started yet.
    std::fprintf(stderr, "%s\n", quorvane::ErrorLine(failure.what()).c_str());
  }
  return quorvane::kFailureExitStatus;
}
