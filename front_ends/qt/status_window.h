#pragma once

#include <string>
#include <vector>

#include <QWidget>

#include "common/clock.h"
#include "common/system_sleeper.h"
#include "core/life/program_life.h"
#include "front_ends/qt/realtime_kit.h"
#include "port/port_io.h"

namespace quorvane {

class StopNotifier;
class WindowTimer;

// The program's one window on Qt Widgets: the controls of status_window::kControls,
// each with its name as object name, in tab order, and the poll timer. It is the
// toolkit side of the program's life, which it owns with the window's state.
//
// It is created hidden with the poll timer stopped; Life().Run() starts the timer,
// loads, shows the window and runs the event loop.
class StatusWindow final : public QWidget, public Window, public EventLoop {
  Q_OBJECT

 public:
  // `port` and `clock` are kept by reference and must outlive the window.
  StatusWindow(PortIo& port, const Clock& clock);

  ProgramLife& Life() { return life_; }

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
  void showEvent(QShowEvent* event) override;

 private slots:
  void OnPollTick();
  void OnPollTimerFailed(const std::string& message);
  void OkClicked();
  void OnStopAsked();

 private:
  std::vector<QWidget*> controls_;  // as in status_window::kControls
  WindowTimer* pollTimer_;
  StopNotifier* stop_;  // SIGTERM, SIGINT, SIGHUP: handled as a close
  bool fontsChosen_ = false;
  std::unique_ptr<Sleeper> sleeper_ = MakeSystemSleeper();
  RealtimeKitPriority priority_;
  ProgramLife life_;
};

}  // namespace quorvane
