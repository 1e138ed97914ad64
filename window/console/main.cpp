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
#include "port/inpout.h"
#include "window/console/console_wait.h"
#include "window/form1_description.h"
#include "window/program_life.h"
#include "window/tick_timer.h"

namespace quorvane {
namespace {

class ConsoleWindow final : public FrontEnd {
 public:
  ConsoleWindow(PortIo& port, const Clock& clock)
      : clock_(clock), life_(*this, port, clock), timer1_(form1::kTimer1.interval) {}

  ProgramLife& Life() { return life_; }

  void StartTimer() override { timer1_.Start(); }
  void StopTimer() override { timer1_.Stop(); }
  // "Showing" prints the status line the window would show first.
  void ShowWindow() override { Print(form1::kStatusLine, life_.Text(form1::kStatusLine)); }
  void MinimiseWindow() override {}
  void SetControlText(std::size_t control, const std::string& text) override { Print(control, text); }
  // The line on standard error is all the box there is.
  void ShowFailureBox(const std::string&) override {}

  // Sleeps until Timer1 is due or a stop signal came, then ticks once or
  // stops: a tick that fell due during an answer runs once right after it,
  // and missed ticks are not made up. A signal that came during an answer
  // is seen here, after it. Without a window nothing but a failure or a
  // stop signal ends the loop.
  int RunEventLoop() override {
    while (!ended_ && timer1_.Running()) {
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
      if (wake.ticks > 0) life_.Timer1_Timer();
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
                form1::FieldName(form1::kControls[control].shows), text.c_str());
    std::fflush(stdout);
  }

  const Clock& clock_;
  ProgramLife life_;
  TickTimer timer1_;
  ConsoleWait wait_{timer1_};
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace
}  // namespace quorvane

int main() {
  try {
    quorvane::SystemClock clock;
    quorvane::InpoutLibrary port;
    quorvane::ConsoleWindow window(port, clock);
    return window.Life().Run();
  } catch (const std::exception& failure) {
    // The stop signals could not be watched: nothing has started yet.
    std::fprintf(stderr, "%s\n", quorvane::ErrorLine(failure.what()).c_str());
  }
  return quorvane::kFailureExitStatus;
}
