#pragma once

// What the program's life asks of a front end, in two halves: where its
// texts and failures show (a Display: a window, a terminal, the event log),
// and the loop that runs it (an EventLoop: the poll timer and whatever else
// wakes the program). A front end with a window is a Window too; one with
// nothing to show implements no window calls.

#include <cstddef>
#include <string>

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

// Where the texts and the failures show. Each call does just what its name
// says.
class Display {
 public:
  virtual ~Display() = default;

  // Replaces the whole text of one control of status_window::kControls.
  virtual void SetControlText(std::size_t control, const std::string& text) = 0;
  // One line to standard error; the default writes it there at once.
  virtual void WriteErrorLine(const std::string& line);
  // Tells whoever watches that a failure ends the program, as a failure box
  // would: `text` is FailureBoxText. Returns when it has been told; a box
  // returns when it is dismissed, and may run an event loop of its own, in
  // which ticks and clicks can arrive. The default tells nobody more than
  // the error line did.
  virtual void ShowFailureBox(const std::string& text);
  // Says once which port the run drives and why, where that is not the
  // port at 888 (`why` is one sentence). The default writes it to standard
  // error as ErrorLine does, where the Linux service's journal takes it.
  virtual void TellPortChoice(const std::string& why);
};

// A display that is a window on a desktop. The window exists, hidden, when
// the life starts.
class Window : public Display {
 public:
  virtual void ShowWindow() = 0;
  virtual void MinimiseWindow() = 0;
};

// The loop the program runs in, on its one thread.
class EventLoop {
 public:
  virtual ~EventLoop() = default;

  virtual void StartTimer() = 0;
  virtual void StopTimer() = 0;
  // Runs until the window is closed, a stop is asked for, or End is called;
  // returns the exit status.
  virtual int RunEventLoop() = 0;
  virtual void EndEventLoop(int status) = 0;
};

}  // namespace quorvane
