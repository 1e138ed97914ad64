// quorvane: the status window. Creates the window hidden, runs the start-up
// work, shows the window and hands over to the event loop, whose Timer1
// ticks poll the request line and answer it.

#include <exception>

#include <QApplication>

#include "common/system_clock.h"
#include "port/inpout.h"
#include "startup/form_load.h"
#include "window/qt/failure_report.h"
#include "window/qt/form1.h"
#include "window/qt/icon.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setWindowIcon(quorvane::MeasuringScreenIcon());

  // Both outlive the window, which keeps them by reference.
  quorvane::SystemClock clock;
  quorvane::InpoutLibrary port;
  quorvane::Form1 form(port, clock);
  try {
    quorvane::Form_Load(form.Variables(), port, form, clock);
  } catch (const std::exception& failure) {
    // The window is never shown.
    quorvane::ReportFailure(QString::fromLocal8Bit(failure.what()));
    return 1;
  } catch (...) {
    quorvane::ReportFailure(QStringLiteral("the start-up failed for an unknown reason"));
    return 1;
  }
  form.show();
  // Closing the window ends the loop; nothing is written on the way out.
  return application.exec();
}
