#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

#include "common/clock.h"
#include "common/system_sleeper.h"
#include "core/life/program_life.h"
#include "core/life/tick_timer.h"
#include "core/poll_and_answer/thread_priority.h"
#include "core/status_window/window_description.h"
#include "front_ends/win32_window/fonts.h"
#include "port/port_io.h"

namespace quorvane::win32 {

// The program's one window on the raw Win32 API: the controls of
// status_window::kControls (control i has the id QUORVANE_FIRST_CONTROL_ID + i and
// stands i-th in the tab and z order), laid out at the screen's DPI, and
// The poll timer, the same tick as the other front ends', waited for by its message
// loop. It is the toolkit side of the program's life, which it owns.
//
// It is created hidden with the poll timer stopped; Life().Run() starts the timer,
// loads, shows the window and runs the message loop.
class StatusWindow final : public Window, public EventLoop {
 public:
  // `port` and `clock` are kept by reference and must outlive the window. A
  // window the system cannot make is a Failure.
  StatusWindow(PortIo& port, const Clock& clock);
  StatusWindow(const StatusWindow&) = delete;
  StatusWindow& operator=(const StatusWindow&) = delete;
  ~StatusWindow() override;

  ProgramLife& Life() { return life_; }

  void StartTimer() override;
  void StopTimer() override;
  void ShowWindow() override;
  void MinimiseWindow() override;
  // Paints the new text at once, without servicing the message loop: a tick
  // that answers a request keeps the loop away for three seconds, and
  // "Sending Sequence..." must be seen meanwhile.
  void SetControlText(std::size_t control, const std::string& text) override;
  void WriteErrorLine(const std::string& line) override;
  void ShowFailureBox(const std::string& text) override;
  int RunEventLoop() override;
  void EndEventLoop(int status) override;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  // Boxes, fonts and the window's size for a screen of `dpi`.
  void LayOut(int dpi);

  HWND window_ = nullptr;
  std::array<HWND, status_window::kControls.size()> controls_{};
  Font windowFont_;
  Font statusFont_;
  bool ending_ = false;  // the message loop has been told to end
  TickTimer pollTimer_;
  std::unique_ptr<Sleeper> sleeper_ = MakeSystemSleeper();
  std::unique_ptr<AnswerPriority> priority_ = MakeThreadPriority();
  ProgramLife life_;
};

}  // namespace quorvane::win32
