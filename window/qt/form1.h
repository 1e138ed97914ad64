#pragma once

#include <string>
#include <vector>

#include <QWidget>

#include "common/clock.h"
#include "common/form_variables.h"
#include "port/port_io.h"
#include "window/program_life.h"

namespace quorvane {

class StopNotifier;
class WindowTimer;

// The program's one window on Qt Widgets: the controls of form1::kControls,
// each with its name as object name, in tab order, and Timer1. It is the
// toolkit side of the program's life, which it owns with the window's state.
//
// It is created hidden with Timer1 stopped; Life().Run() starts the timer,
// loads, shows the window and runs the event loop.
class Form1 final : public QWidget, public FrontEnd {
  Q_OBJECT

 public:
  // `port` and `clock` are kept by reference and must outlive the window.
  Form1(PortIo& port, const Clock& clock);

  ProgramLife& Life() { return life_; }
  FormVariables& Variables() { return life_.Variables(); }

  void StartTimer() override;
  void StopTimer() override;
  void ShowWindow() override;
  void MinimiseWindow() override;
  // Paints the new text at once, without servicing the event loop (a hidden
  // window skips it): a tick that answers a request keeps the loop away for
  // three seconds, and "Sending Sequence..." must be seen meanwhile.
  void SetControlText(std::size_t control, const std::string& text) override;
  void ShowFailureBox(const std::string& text) override;
  int RunEventLoop() override;
  void EndEventLoop(int status) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private slots:
  void Timer1_Timer();
  void Timer1_Failed(const std::string& message);
  void Command1_Click();
  void Stop_Asked();

 private:
  std::vector<QWidget*> controls_;  // as in form1::kControls
  WindowTimer* timer1_;
  StopNotifier* stop_;  // SIGTERM, SIGINT, SIGHUP: handled as a close
  ProgramLife life_;
};

}  // namespace quorvane
