// quorvane-console: polls the request line once a second and answers it,
// printing each change of the status texts instead of showing a window.
// Each start appends a line to Quorvane.log in the working directory.

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>

#include "common/clock_text.h"
#include "common/failure.h"
#include "common/form_variables.h"
#include "common/system_clock.h"
#include "port/inpout.h"
#include "responder/responder.h"
#include "startup/form_load.h"

namespace {

class ConsoleDisplay final : public quorvane::StatusDisplay {
 public:
  explicit ConsoleDisplay(const quorvane::Clock& clock) : clock_(clock) {}
  void SetStatusLine(const std::string& text) override { Show("status", text, status_); }
  void SetLastRestartText(const std::string& text) override { Show("last restart", text, restart_); }
  void SetLastRequestText(const std::string& text) override { Show("last request", text, request_); }

 private:
  // Prints a field only when it changes, so the idle poll stays quiet.
  void Show(const char* field, const std::string& text, std::string& shown) {
    if (text == shown) return;
    shown = text;
    std::printf("%s  %-13s %s\n", quorvane::TimeText(clock_.Local()).c_str(), field, text.c_str());
    std::fflush(stdout);
  }
  const quorvane::Clock& clock_;
  std::string status_, restart_, request_;
};

}  // namespace

int main() {
  using namespace std::chrono;
  quorvane::SystemClock clock;
  ConsoleDisplay display(clock);
  quorvane::FormVariables variables;
  quorvane::InpoutLibrary port;
  quorvane::Responder responder(variables, port, display, clock);
  try {
    // The start-up work of a window load, restart log line included.
    quorvane::Form_Load(variables, port, display, clock);
    display.SetStatusLine("Active...");
    // A 1000 ms period; a tick that fell due during an answer runs once
    // right after it, and missed ticks are not made up.
    auto next = steady_clock::now() + milliseconds(1000);
    for (;;) {
      std::this_thread::sleep_until(next);
      responder.Timer1_Timer();
      next += milliseconds(1000);
      if (next < steady_clock::now()) next = steady_clock::now();
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "quorvane-console: %s\n", failure.what());
    return 1;
  }
}
