#include "window/program_life.h"

#include <cctype>
#include <cstdio>
#include <exception>

#include "startup/form_load.h"

namespace quorvane {

namespace {

// Runs of white space (a system message may end in a line break) become one
// space; none at either end.
std::string OnOneLine(const std::string& message) {
  std::string line;
  for (const char c : message) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  if (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

std::string ErrorLine(const std::string& message) { return "quorvane: " + OnOneLine(message); }

std::string FailureBoxText(const std::string& message) {
  std::string text = OnOneLine(message);
  // ASCII only: a byte of a longer character is never changed, whatever the locale.
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

void FrontEnd::WriteErrorLine(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

ProgramLife::ProgramLife(FrontEnd& frontEnd, PortIo& port, const Clock& clock)
    : frontEnd_(frontEnd), port_(port), clock_(clock), responder_(variables_, port, *this, clock) {
  for (std::size_t i = 0; i < texts_.size(); ++i) texts_[i] = form1::kControls[i].initialText;
}

int ProgramLife::Run() {
  if (!Start()) return kFailureExitStatus;
  // Closing the window ends the loop; nothing is written on the way out.
  return frontEnd_.RunEventLoop();
}

bool ProgramLife::Start() {
  const bool loaded = Guarded(
      [&] {
        // The timer runs from the window's creation; its ticks wait for the loop.
        frontEnd_.StartTimer();
        Form_Load(variables_, port_, *this, clock_);
      },
      "the start-up failed for an unknown reason");
  // After a failed load the window is never shown.
  if (loaded) frontEnd_.ShowWindow();
  return loaded;
}

void ProgramLife::Timer1_Timer() {
  // Nothing inside a tick services events, with one exception: the failure
  // box runs its own event loop, and no poll may start from within it.
  if (ticking_ || failed_) return;
  ticking_ = true;
  const bool polled = Guarded([&] { responder_.Timer1_Timer(); },
                              "the poll of the request line failed for an unknown reason");
  ticking_ = false;
  if (!polled)
    frontEnd_.EndEventLoop(kFailureExitStatus);
  else if (stopAsked_)
    frontEnd_.EndEventLoop(0);
}

void ProgramLife::StopAsked() {
  if (ticking_) {
    stopAsked_ = true;
    return;
  }
  frontEnd_.EndEventLoop(failed_ ? kFailureExitStatus : 0);
}

void ProgramLife::Command1_Click() {
  if (!failed_) frontEnd_.MinimiseWindow();
}

void ProgramLife::FrontEndFailed(const std::string& message) {
  if (failed_) return;  // the first failure has been reported and ends the run
  Fail(OnOneLine(message).empty() ? "the window failed for an unknown reason" : message);
  frontEnd_.EndEventLoop(kFailureExitStatus);
}

void ProgramLife::SetStatusLine(const std::string& text) { Show(form1::StatusField::kStatusLine, text); }
void ProgramLife::SetLastRestartText(const std::string& text) {
  Show(form1::StatusField::kLastRestart, text);
}
void ProgramLife::SetLastRequestText(const std::string& text) {
  Show(form1::StatusField::kLastRequest, text);
}

void ProgramLife::Show(form1::StatusField field, const std::string& text) {
  const std::size_t control = form1::IndexShowing(field);
  // Every idle poll writes the same status text again: redrawing it each
  // second would be the program's main cost while nothing happens.
  if (texts_[control] == text) return;
  texts_[control] = text;
  frontEnd_.SetControlText(control, text);
}

template <typename Work>
bool ProgramLife::Guarded(const Work& work, const char* unknown) {
  try {
    work();
    return true;
  } catch (const std::exception& failure) {
    // A failure with nothing to say still ends the program with a reason.
    const std::string what = failure.what();
    Fail(OnOneLine(what).empty() ? unknown : what);
  } catch (...) {
    Fail(unknown);
  }
  return false;
}

void ProgramLife::Fail(const std::string& message) {
  failed_ = true;
  // No tick may poll (and fail again, or answer) behind the box while it
  // waits for the user.
  frontEnd_.StopTimer();
  frontEnd_.WriteErrorLine(ErrorLine(message));
  frontEnd_.ShowFailureBox(FailureBoxText(message));
}

}  // namespace quorvane
