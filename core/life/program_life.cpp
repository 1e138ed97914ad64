#include "core/life/program_life.h"

#include <cctype>
#include <cstdio>
#include <exception>

#include "core/startup/start_up.h"
#include "port/port_map.h"

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

void Display::WriteErrorLine(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void Display::ShowFailureBox(const std::string&) {}

void Display::TellPortChoice(const std::string& why) { WriteErrorLine(ErrorLine(why)); }

ProgramLife::ProgramLife(Window& window, EventLoop& loop, PortIo& port, const Clock& clock, Sleeper& sleeper,
                         AnswerPriority& priority)
    : ProgramLife(window, &window, loop, port, clock, sleeper, priority) {}

ProgramLife::ProgramLife(Display& display, EventLoop& loop, PortIo& port, const Clock& clock,
                         Sleeper& sleeper, AnswerPriority& priority)
    : ProgramLife(display, nullptr, loop, port, clock, sleeper, priority) {}

ProgramLife::ProgramLife(Display& display, Window* window, EventLoop& loop, PortIo& port, const Clock& clock,
                         Sleeper& sleeper, AnswerPriority& priority)
    : display_(display),
      window_(window),
      loop_(loop),
      port_(port),
      clock_(clock),
      sleeper_(sleeper),
      priority_(priority) {
  // The usual port until the start-up has chosen one; a tick before the
  // start-up (only tests drive the timer so) polls it.
  responder_.emplace(port_, static_cast<StatusDisplay&>(*this), clock_, sleeper_,
                     static_cast<AnswerPriority&>(*this), port_map::kBase);
  for (std::size_t i = 0; i < texts_.size(); ++i) texts_[i] = status_window::kControls[i].initialText;
}

int ProgramLife::Run() {
  if (!Start()) return kFailureExitStatus;
  // Closing the window ends the loop; nothing is written on the way out.
  return loop_.RunEventLoop();
}

bool ProgramLife::Start() {
  const bool loaded = Guarded(
      [&] {
        // The timer runs from the window's creation; its ticks wait for the loop.
        loop_.StartTimer();
        const ChosenPort chosen = StartUp(port_, *this, clock_);
        if (!chosen.why.empty()) display_.TellPortChoice(chosen.why);
        responder_.emplace(port_, static_cast<StatusDisplay&>(*this), clock_, sleeper_,
                           static_cast<AnswerPriority&>(*this), chosen.base);
      },
      "the start-up failed for an unknown reason");
  // After a failed start-up the window is never shown.
  if (loaded && window_ != nullptr) window_->ShowWindow();
  return loaded;
}

void ProgramLife::OnPollTick() {
  // Nothing inside a tick services events, with one exception: the failure
  // box runs its own event loop, and no poll may start from within it.
  if (ticking_ || failed_) return;
  ticking_ = true;
  const bool polled =
      Guarded([&] { responder_->OnPollTick(); }, "the poll of the request line failed for an unknown reason");
  ticking_ = false;
  if (!polled)
    loop_.EndEventLoop(kFailureExitStatus);
  else if (stopAsked_)
    loop_.EndEventLoop(0);
}

void ProgramLife::StopAsked() {
  if (ticking_) {
    stopAsked_ = true;
    return;
  }
  loop_.EndEventLoop(failed_ ? kFailureExitStatus : 0);
}

void ProgramLife::OkClicked() {
  if (!failed_ && window_ != nullptr) window_->MinimiseWindow();
}

void ProgramLife::FrontEndFailed(const std::string& message) {
  if (failed_) return;  // the first failure has been reported and ends the run
  Fail(OnOneLine(message).empty() ? "the window failed for an unknown reason" : message);
  loop_.EndEventLoop(kFailureExitStatus);
}

void ProgramLife::SetStatusLine(const std::string& text) {
  Show(status_window::StatusField::kStatusLine, text);
}
void ProgramLife::SetLastRestartText(const std::string& text) {
  Show(status_window::StatusField::kLastRestart, text);
}
void ProgramLife::SetLastRequestText(const std::string& text) {
  Show(status_window::StatusField::kLastRequest, text);
}

void ProgramLife::Show(status_window::StatusField field, const std::string& text) {
  const std::size_t control = status_window::IndexShowing(field);
  // Every idle poll writes the same status text again: redrawing it each
  // second would be the program's main cost while nothing happens.
  if (texts_[control] == text) return;
  texts_[control] = text;
  display_.SetControlText(control, text);
}

std::string ProgramLife::Raise() {
  std::string refusal = priority_.Raise();
  // Every answer asks again (a limit may be raised while the program runs),
  // but says so only once: an answer a second would flood the journal.
  if (!refusal.empty() && !refusalTold_) {
    refusalTold_ = true;
    display_.WriteErrorLine(ErrorLine("answering in the normal scheduling class: " + refusal));
  }
  return refusal;
}

void ProgramLife::Restore() { priority_.Restore(); }

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
  loop_.StopTimer();
  display_.WriteErrorLine(ErrorLine(message));
  display_.ShowFailureBox(FailureBoxText(message));
}

}  // namespace quorvane
