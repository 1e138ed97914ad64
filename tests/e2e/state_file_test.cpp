// The simulated port's state file taken away from the running program: it
// must not go on as if it were still heard, but stop, with exit status 1,
// after a message naming the file (for the window program in a message box,
// dismissed here with xdotool under a virtual X server).

#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "port_libraries/simulated/simulated_port_client.h"
#include "program_run.h"
#include "x_display.h"

namespace quorvane::e2e {
namespace {

using namespace std::chrono_literals;

struct Case {
  const char* name;
  bool window;  // the window program, else the console one
  std::function<void(const std::filesystem::path&)> takeAway;
  const char* what;
};

void Delete(const std::filesystem::path& state) { std::filesystem::remove(state); }

void CutShort(const std::filesystem::path& state) { std::filesystem::resize_file(state, 0); }

void Replace(const std::filesystem::path& state) {
  const std::filesystem::path other = state.string() + ".other";
  { simport::SimulatedPort another(other.string()); }
  std::filesystem::rename(other, state);
}

// Waits for the program to end by itself, pressing Enter on its failure box
// when it shows one.
std::optional<int> EndOfRun(ProgramRun& run, bool window) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (run.Running() && std::chrono::steady_clock::now() < deadline) {
    if (window) {
      for (const std::string& id : VisibleWindows(kCaption))
        if (KindOf(id) == WindowKind::kDialog) PressEnterOn(id);
    }
    std::this_thread::sleep_for(200ms);
  }
  return run.WaitForExit(1s);
}

TEST(StateFile, TakenAwayWhileTheProgramRunsEndsItWithAMessageNamingTheFile) {
  const Case cases[] = {
      {"window program, file deleted", true, Delete, "was deleted while in use"},
      {"window program, file replaced", true, Replace, "was replaced by another file while in use"},
      {"console program, file deleted", false, Delete, "was deleted while in use"},
      // Its owner cut it short: a message, where the program died of SIGBUS.
      {"console program, file cut short", false, CutShort,
       "was cut short while in use (another process truncated it)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.window && !PROGRAM_HAS_WINDOW) continue;
    if (c.window && !std::getenv("DISPLAY")) {
      ADD_FAILURE() << "the window program's failure box needs an X display (run under with_xvfb.sh)";
      continue;
    }
    WorkFolder folder;
    simport::SimulatedPort port(folder.StatePath().string());
    simport::AccessReader reader(port, true);
    RunOptions options;
    if (!c.window) options.program = CONSOLE_PROGRAM;
    ProgramRun run(folder, options);
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(reader.WaitFor([](const simport::Access& a) { return !a.write; }, 5s))
        << "the program never polled\n"
        << run.Output();

    c.takeAway(folder.StatePath());
    const auto status = EndOfRun(run, c.window);
    ASSERT_TRUE(status) << "the program went on without its state file\n" << run.Output();
    EXPECT_EQ(*status, 1) << run.Output();
    const std::string expected =
        "quorvane: the port library libinpout32.so failed to read port 889: the simulated port file " +
        folder.StatePath().string() + " " + c.what;
    EXPECT_NE(run.Stderr().find(expected + "\n"), std::string::npos) << run.Output();
  }
}

}  // namespace
}  // namespace quorvane::e2e
