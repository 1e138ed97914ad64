// quorvane-console: the program's life without a window. It polls the
// request line once a second and answers it, printing each change of the
// status texts instead of showing them. Each start appends a line to
// Quorvane.log in the working directory; a failure ends it with one line
// "quorvane: ..." on standard error and status 1. SIGTERM, SIGINT and SIGHUP
// end it as a window close would, with status 0, once an answer under way
// has ended.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "common/clock_text.h"
#include "common/failure.h"
#include "common/system_clock.h"
#include "common/system_sleeper.h"
#include "core/life/program_life.h"
#include "core/life/tick_timer.h"
#include "core/poll_and_answer/thread_priority.h"
#include "core/status_window/window_description.h"
#include "front_ends/text/console_wait.h"
#include "port/inpout.h"

namespace quorvane {
namespace {

class TextFrontEnd final : public Display, public EventLoop {
 public:
  TextFrontEnd(PortIo& port, const Clock& clock)
      : clock_(clock),
        life_(*this, *this, port, clock, *sleeper_, *priority_),
        pollTimer_(status_window::kPollTimer.interval) {}

  ProgramLife& Life() { return life_; }

  void StartTimer() override { pollTimer_.Start(); }
  void StopTimer() override { pollTimer_.Stop(); }
  void SetControlText(std::size_t control, const std::string& text) override { Print(control, text); }

  // Sleeps until the poll timer is due or a stop signal came, then ticks once or
  // stops: a tick that fell due during an answer runs once right after it,
  // and missed ticks are not made up. A signal that came during an answer
  // is seen here, after it. Without a window nothing but a failure or a
  // stop signal ends the loop.
  int RunEventLoop() override {
    // Started: the status line a window would show first.
    Print(status_window::kStatusLine, life_.Text(status_window::kStatusLine));
    while (!ended_ && pollTimer_.Running()) {
      ConsoleWait::Wake wake;
      try {
        wake = wait_.Next();
      } catch (const Failure& failure) {
        life_.FrontEndFailed(failure.what());
        break;
      }
      if (wake.stop) {
        life_.StopAsked();
        continue;
      }
      if (wake.ticks > 0) life_.OnPollTick();
    }
    return status_;
  }
  void EndEventLoop(int status) override {
    ended_ = true;
    status_ = status;
  }

 private:
  void Print(std::size_t control, const std::string& text) {
    std::printf("%s  %-13s %s\n", TimeText(clock_.Local()).c_str(),
                status_window::FieldName(status_window::kControls[control].shows), text.c_str());
    std::fflush(stdout);
  }

  const Clock& clock_;
  std::unique_ptr<Sleeper> sleeper_ = MakeSystemSleeper();
  // The service's unit lets it take the real-time class for the answers
  // (LimitRTPRIO=1); run by hand, it answers in the normal class and says so.
  std::unique_ptr<AnswerPriority> priority_ = MakeThreadPriority();
  ProgramLife life_;
  TickTimer pollTimer_;
  ConsoleWait wait_{pollTimer_};
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace
}  // namespace quorvane

int main() {
  try {
    quorvane::SystemClock clock;
    quorvane::InpoutLibrary port;
    quorvane::TextFrontEnd frontEnd(port, clock);
    return frontEnd.Life().Run();
  } catch (const std::exception& failure) {
    // The stop signals could not be watched: nothing has started yet.
    std::fprintf(stderr, "%s\n", quorvane::ErrorLine(failure.what()).c_str());
  }
  return quorvane::kFailureExitStatus;
}
