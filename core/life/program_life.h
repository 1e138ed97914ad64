#pragma once

// The program's life, the same under every front end: the window is created
// hidden with the poll timer running, the start-up work runs, and only then is the
// window shown; each tick polls the request line; any failure stops the
// timer, is reported and ends the program with status 1. A front end
// supplies the toolkit calls and nothing else.

#include <cstddef>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/sleeper.h"
#include "core/life/front_end.h"
#include "core/poll_and_answer/answer_priority.h"
#include "core/poll_and_answer/responder.h"
#include "core/status_window/status_display.h"
#include "core/status_window/window_description.h"
#include "port/port_io.h"

namespace quorvane {

// The status window's state and handlers: the
// texts of its controls, the tick handler and the OK button's click.
class ProgramLife final : private StatusDisplay, private AnswerPriority {
 public:
  // Everything is kept by reference and must outlive the life; the front
  // end may own it. A front end with a window passes it as its display.
  // The answer sleeps between its steps on `sleeper`, raised by `priority`.
  ProgramLife(Window& window, EventLoop& loop, PortIo& port, const Clock& clock, Sleeper& sleeper,
              AnswerPriority& priority);
  ProgramLife(Display& display, EventLoop& loop, PortIo& port, const Clock& clock, Sleeper& sleeper,
              AnswerPriority& priority);
  ProgramLife(const ProgramLife&) = delete;
  ProgramLife& operator=(const ProgramLife&) = delete;
  ~ProgramLife() override = default;

  // The whole run; returns the exit status: Start(), then the event loop.
  int Run();

  // Starts the poll timer, runs StartUp and shows the window. On a failure (of
  // either) the timer is stopped and the failure reported, the window is never shown,
  // and the result is false.
  bool Start();

  // The poll timer's tick: one poll, never re-entered. A failure stops the timer, is
  // reported and ends the event loop with status 1.
  void OnPollTick();

  // A stop asked from outside the window (SIGTERM, SIGINT, SIGHUP, the
  // session's end): handled as a close, the event loop ends with status 0
  // (after a failure, its status stands). Never inside a tick: one asked
  // while a tick runs (from a loop the tick let run) waits for the tick's
  // end, so an answer under way always ends whole, at the idle level.
  void StopAsked();

  // OK: minimises the window and does nothing else.
  void OkClicked();

  // A failure the front end met on its own, outside the calls above (the poll timer
  // could not be read, or a window procedure, which must not let it
  // through, caught one): reported like the others, unless one already was,
  // and the event loop ends with status 1.
  void FrontEndFailed(const std::string& message);

  bool LastPollSawRequest() const { return responder_ && responder_->LastPollSawRequest(); }
  // The text a control shows now.
  const std::string& Text(std::size_t control) const { return texts_[control]; }

 private:
  ProgramLife(Display& display, Window* window, EventLoop& loop, PortIo& port, const Clock& clock,
              Sleeper& sleeper, AnswerPriority& priority);

  // The Status display, each field on its label of status_window::kControls; the
  // front end hears only of texts that change.
  void SetStatusLine(const std::string& text) override;
  void SetLastRestartText(const std::string& text) override;
  void SetLastRequestText(const std::string& text) override;
  void Show(status_window::StatusField field, const std::string& text);

  // The front end's answer priority; the first refusal is told on the
  // error line, once, and the answers go on in the normal class.
  std::string Raise() override;
  void Restore() override;

  // Runs `work`; any exception stops the timer and is reported (`unknown`
  // names one that says nothing). Returns whether `work` succeeded.
  template <typename Work>
  bool Guarded(const Work& work, const char* unknown);
  void Fail(const std::string& message);

  Display& display_;
  Window* window_;  // none for a front end with nothing to show
  EventLoop& loop_;
  PortIo& port_;
  const Clock& clock_;
  Sleeper& sleeper_;
  AnswerPriority& priority_;
  // On the usual port, then on the one the start-up chose.
  std::optional<Responder> responder_;
  std::array<std::string, status_window::kControls.size()> texts_;
  bool ticking_ = false;
  bool failed_ = false;
  bool stopAsked_ = false;  // during a tick: to end once it is over
  bool refusalTold_ = false;
};

}  // namespace quorvane
