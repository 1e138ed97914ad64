// quorvane-console: the program's life without a window. It polls the
// request line once a second and answers it, printing each change of the
// status texts instead of showing them. Each start appends a line to
// Quorvane.log in the working directory; a failure ends it with one line
// "quorvane: ..." on standard error and status 1.

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "common/clock_text.h"
#include "common/system_clock.h"
#include "port/inpout.h"
#include "window/form1_description.h"
#include "window/program_life.h"

namespace quorvane {
namespace {

const char* FieldName(form1::StatusField field) {
  switch (field) {
    case form1::StatusField::kStatusLine: return "status";
    case form1::StatusField::kLastRestart: return "last restart";
    case form1::StatusField::kLastRequest: return "last request";
    case form1::StatusField::kNone: break;
  }
  return "text";
}

class ConsoleWindow final : public FrontEnd {
 public:
  ConsoleWindow(PortIo& port, const Clock& clock) : clock_(clock), life_(*this, port, clock) {}

  ProgramLife& Life() { return life_; }

  void StartTimer() override {
    timerRunning_ = true;
    nextTick_ = std::chrono::steady_clock::now() + form1::kTimer1.interval;
  }
  void StopTimer() override { timerRunning_ = false; }
  // "Showing" prints the status line the window would show first.
  void ShowWindow() override { Print(form1::kStatusLine, life_.Text(form1::kStatusLine)); }
  void MinimiseWindow() override {}
  void SetControlText(std::size_t control, const std::string& text) override { Print(control, text); }
  // The line on standard error is all the box there is.
  void ShowFailureBox(const std::string&) override {}

  // Timer1's period; a tick that fell due during an answer runs once right
  // after it, and missed ticks are not made up. Without a window nothing but
  // a failure (or a signal) ends the loop.
  int RunEventLoop() override {
    while (!ended_ && timerRunning_) {
      std::this_thread::sleep_until(nextTick_);
      life_.Timer1_Timer();
      nextTick_ += form1::kTimer1.interval;
      const auto now = std::chrono::steady_clock::now();
      if (nextTick_ < now) nextTick_ = now;
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
                FieldName(form1::kControls[control].shows), text.c_str());
    std::fflush(stdout);
  }

  const Clock& clock_;
  ProgramLife life_;
  bool timerRunning_ = false;
  bool ended_ = false;
  int status_ = 0;
  std::chrono::steady_clock::time_point nextTick_;
};

}  // namespace
}  // namespace quorvane

int main() {
  quorvane::SystemClock clock;
  quorvane::InpoutLibrary port;
  quorvane::ConsoleWindow window(port, clock);
  return window.Life().Run();
}
