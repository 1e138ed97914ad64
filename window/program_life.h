#pragma once

// The program's life, the same under every front end: the window is created
// hidden with Timer1 running, the start-up work runs, and only then is the
// window shown; each tick polls the request line; any failure stops the
// timer, is reported and ends the program with status 1. A front end
// supplies the toolkit calls and nothing else.

#include <cstddef>
#include <string>

#include "common/clock.h"
#include "common/form_variables.h"
#include "common/status_display.h"
#include "port/port_io.h"
#include "responder/responder.h"
#include "window/form1_description.h"

namespace quorvane {

// The exit status of a run that ended on a failure.
inline constexpr int kFailureExitStatus = 1;

// "quorvane: <message>", the message on one line: the line a failure leaves
// on standard error, for people who started the program from a terminal or
// a script.
std::string ErrorLine(const std::string& message);

// The message as the failure box shows it: on one line, as a sentence (the
// failure texts start in lower case to read well after "quorvane: ").
std::string FailureBoxText(const std::string& message);

// What the life asks of a toolkit. The window exists, hidden, when the life
// starts; each call does just what its name says.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  virtual void StartTimer() = 0;
  virtual void StopTimer() = 0;
  virtual void ShowWindow() = 0;
  virtual void MinimiseWindow() = 0;
  // Replaces the whole text of one control of form1::kControls.
  virtual void SetControlText(std::size_t control, const std::string& text) = 0;
  // One line to standard error; the default writes it there at once.
  virtual void WriteErrorLine(const std::string& line);
  // A modal box naming the failure; returns when it is dismissed. It may run
  // an event loop of its own, in which ticks and clicks can arrive.
  virtual void ShowFailureBox(const std::string& text) = 0;
  // Runs the event loop until the window is closed or EndEventLoop is called;
  // returns the exit status.
  virtual int RunEventLoop() = 0;
  virtual void EndEventLoop(int status) = 0;
};

// The window object's state and handlers: the window-level variables, the
// texts of its controls, the tick handler and the OK button's click.
class ProgramLife final : private StatusDisplay {
 public:
  // `frontEnd`, `port` and `clock` are kept by reference and must outlive
  // the life; the front end may own it.
  ProgramLife(FrontEnd& frontEnd, PortIo& port, const Clock& clock);
  ProgramLife(const ProgramLife&) = delete;
  ProgramLife& operator=(const ProgramLife&) = delete;
  ~ProgramLife() override = default;

  // The whole run; returns the exit status: Start(), then the event loop.
  int Run();

  // Starts Timer1, runs Form_Load and shows the window. On a failure (of
  // either) the timer is stopped and the failure reported, the window is never shown,
  // and the result is false.
  bool Start();

  // Timer1's tick: one poll, never re-entered. A failure stops the timer, is
  // reported and ends the event loop with status 1.
  void Timer1_Timer();

  // A stop asked from outside the window (SIGTERM, SIGINT, SIGHUP, the
  // session's end): handled as a close, the event loop ends with status 0
  // (after a failure, its status stands). Never inside a tick: one asked
  // while a tick runs (from a loop the tick let run) waits for the tick's
  // end, so an answer under way always ends whole, at the idle level.
  void StopAsked();

  // OK: minimises the window and does nothing else.
  void Command1_Click();

  // A failure the front end met on its own, outside the calls above (Timer1
  // could not be read, or a window procedure, which must not let it
  // through, caught one): reported like the others, unless one already was,
  // and the event loop ends with status 1.
  void FrontEndFailed(const std::string& message);

  FormVariables& Variables() { return variables_; }
  // The text a control shows now.
  const std::string& Text(std::size_t control) const { return texts_[control]; }

 private:
  // The Status display, each field on its label of form1::kControls; the
  // front end hears only of texts that change.
  void SetStatusLine(const std::string& text) override;
  void SetLastRestartText(const std::string& text) override;
  void SetLastRequestText(const std::string& text) override;
  void Show(form1::StatusField field, const std::string& text);

  // Runs `work`; any exception stops the timer and is reported (`unknown`
  // names one that says nothing). Returns whether `work` succeeded.
  template <typename Work>
  bool Guarded(const Work& work, const char* unknown);
  void Fail(const std::string& message);

  FrontEnd& frontEnd_;
  PortIo& port_;
  const Clock& clock_;
  FormVariables variables_;
  Responder responder_;
  std::array<std::string, form1::kControls.size()> texts_;
  bool ticking_ = false;
  bool failed_ = false;
  bool stopAsked_ = false;  // during a tick: to end once it is over
};

}  // namespace quorvane
