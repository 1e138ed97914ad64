// quorvane-bench-minimal-qt: the floor under the Qt program's idle cost. One
// window with one label, woken once a second by the same poll timer as the
// program's (front_ends/qt/window_timer.h), doing on each tick only what every
// idle tick of the program does to its window: setting the status line to
// the text it already shows, which Qt skips. The benchmark runs it beside
// the program over the same idle span; what the program uses above it is
// the program's own.

#include <chrono>

#include <QApplication>
#include <QLabel>

#include "core/status_window/window_description.h"
#include "front_ends/qt/window_timer.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QLabel window(QString::fromUtf8("Waiting for Request..."));
  window.setWindowTitle(QStringLiteral("quorvane-bench minimal Qt window"));
  window.show();
  quorvane::WindowTimer timer1(quorvane::status_window::kPollTimer.interval, &application);
  QObject::connect(&timer1, &quorvane::WindowTimer::timeout, &window,
                   [&window] { window.setText(window.text()); });
  QObject::connect(&timer1, &quorvane::WindowTimer::failed, &application, [] { QApplication::exit(1); });
  timer1.start();
  return QApplication::exec();
}
