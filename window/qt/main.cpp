// quorvane: the status window. Creates the window hidden, runs the start-up
// work, shows the window and hands over to the event loop, whose Timer1
// ticks poll the request line and answer it.

#include <exception>

#include <QApplication>
#include <QTimer>

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
  QString failure;
  try {
    quorvane::Form_Load(form.Variables(), port, form, clock);
  } catch (const std::exception& error) {
    failure = QString::fromLocal8Bit(error.what());
  } catch (...) {
    failure = QStringLiteral("the start-up failed for an unknown reason");
  }
  if (!failure.isEmpty()) {
    // The window is never shown, and no tick may poll (and fail again, or
    // answer) behind the box while it waits for the user.
    form.Timer1->stop();
    quorvane::ReportFailure(failure);
    return 1;
  }
  form.show();
  // Closing the window ends the loop; nothing is written on the way out.
  return application.exec();
}
