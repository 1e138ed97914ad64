// The window program where it can open no display: it must end at once with
// status 1 and one line of ours that names the display, before any start-up
// work (no port access, no restart log).

#include <gtest/gtest.h>

#include "program_run.h"

namespace quorvane::e2e {
namespace {

using namespace std::chrono_literals;

// Runs the program with Qt choosing its platform itself: QT_QPA_PLATFORM is
// taken out of the environment the runner gives it, and so is DISPLAY
// unless `display` names one.
void ExpectNoDisplayFailure(const std::string& display, const std::string& named) {
  WorkFolder folder;
  RunOptions options;
  options.program = "/usr/bin/env";
  options.arguments = {"-u", "QT_QPA_PLATFORM", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY"};
  if (!display.empty()) options.arguments.push_back("DISPLAY=" + display);
  options.arguments.push_back(QUORVANE_PROGRAM);
  ProgramRun run(folder, options);
  ASSERT_TRUE(run.Started());
  const auto status = run.WaitForExit(20s);
  ASSERT_TRUE(status) << "the program did not end\n" << run.Output();
  EXPECT_EQ(*status, 1) << run.Output();

  const std::vector<std::string> lines = OwnErrorLines(run.Stderr());
  ASSERT_EQ(lines.size(), 1u) << run.Stderr();
  EXPECT_EQ(lines[0].rfind("quorvane: ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(named), std::string::npos) << lines[0];

  EXPECT_FALSE(std::filesystem::exists(folder.LogPath())) << "a restart log line was written";
  EXPECT_FALSE(std::filesystem::exists(folder.StatePath())) << "the port was used";
}

TEST(NoDisplay, DisplayNotSet) { ExpectNoDisplayFailure("", "DISPLAY is not set"); }

TEST(NoDisplay, DisplayWithNothingThere) {
  // A display number no test or desktop uses; skip if something is there.
  if (std::filesystem::exists("/tmp/.X11-unix/X7391")) GTEST_SKIP() << "an X server runs on :7391";
  ExpectNoDisplayFailure(":7391", "cannot open the X display :7391");
}

}  // namespace
}  // namespace quorvane::e2e
