// Starts that cannot work: the program must end with a failure status after
// saying why (one line on standard error, and for the window program a
// message box, dismissed here with xdotool under a virtual X server), never
// show its window, and leave an existing restart log as it was.

#include <gtest/gtest.h>

#include "port_libraries/simulated/simulated_port_client.h"
#include "program_run.h"
#include "x_display.h"

namespace quorvane::e2e {
namespace {

using namespace std::chrono_literals;

// What a log holds from earlier runs; the last line has no line end yet.
const std::string kEarlierLog = "01-02-2025 03:04:05\r\n01-03-2025 06:07:08";

RunOptions WithLibraryFrom(const std::string& folder) {
  RunOptions options;
  options.libraryFolder = folder;
  return options;
}

class FailedStart : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PROGRAM_HAS_WINDOW && !std::getenv("DISPLAY"))
      GTEST_SKIP() << "the window program's failure box needs an X display (see with_xvfb.sh)";
  }

  // Waits for the program to end by itself, dismissing its failure box on the
  // way, and checks that no other window ever showed. Returns its status.
  std::optional<int> EndOfFailedStart(ProgramRun& run) {
    if (!PROGRAM_HAS_WINDOW) return run.WaitForExit(20s);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    std::optional<std::chrono::steady_clock::time_point> boxSince;
    while (run.Running() && std::chrono::steady_clock::now() < deadline) {
      const auto windows = VisibleWindows(kCaption);
      for (const std::string& window : windows) {
        const WindowKind kind = KindOf(window);
        if (kind == WindowKind::kGone) continue;
        EXPECT_EQ(kind, WindowKind::kDialog) << "a window other than the failure box is shown";
        if (kind != WindowKind::kDialog) continue;
        // Read it as a person would, for longer than a tick: nothing may
        // happen behind the box meanwhile (no poll, no second failure).
        if (!boxSince) boxSince = std::chrono::steady_clock::now();
        if (std::chrono::steady_clock::now() - *boxSince >= 2500ms) PressEnterOn(window);
      }
      std::this_thread::sleep_for(windows.empty() ? 100ms : 300ms);
    }
    EXPECT_TRUE(boxSince) << "no message box named the failure";
    return run.WaitForExit(1s);
  }

  void ExpectFailure(ProgramRun& run, const std::string& expectedText) {
    ASSERT_TRUE(run.Started());
    const auto status = EndOfFailedStart(run);
    ASSERT_TRUE(status) << "the program did not end\n" << run.Output();
    EXPECT_GT(*status, 0) << "exit status " << *status << "\n" << run.Output();
    // Exactly one line of ours, naming the failure.
    const std::vector<std::string> lines = OwnErrorLines(run.Stderr());
    ASSERT_EQ(lines.size(), 1u) << run.Stderr();
    EXPECT_NE(lines[0].find(expectedText), std::string::npos) << lines[0];
    if (PROGRAM_HAS_WINDOW) {
      EXPECT_TRUE(VisibleWindows(kCaption).empty());
    }
  }

  WorkFolder folder_;
};

TEST_F(FailedStart, MissingPortLibraryLeavesTheLogAlone) {
  WriteAll(folder_.LogPath(), kEarlierLog);
  std::filesystem::create_directory(folder_ / "no-library");
  ProgramRun run(folder_, WithLibraryFrom((folder_ / "no-library").string()));
  ExpectFailure(run, "libinpout32.so");
  EXPECT_EQ(ReadAll(folder_.LogPath()), kEarlierLog);
}

TEST_F(FailedStart, PortOutOfReachLeavesTheLogAlone) {
  WriteAll(folder_.LogPath(), kEarlierLog);
  ProgramRun run(folder_, WithLibraryFrom(CLOSED_PORT_LIBRARY_DIR));
  ExpectFailure(run, "cannot reach the parallel port");
  EXPECT_EQ(ReadAll(folder_.LogPath()), kEarlierLog);
}

// The port is fine; only the log fails. The answer line is already idle.
TEST_F(FailedStart, LogThatCannotBeOpened) {
  std::filesystem::create_directory(folder_.LogPath());
  WriteAll(folder_.LogPath() / "kept", "kept");
  simport::SimulatedPort port(folder_.StatePath().string());
  ProgramRun run(folder_);
  ExpectFailure(run, "Quorvane.log");
  EXPECT_EQ(ReadAll(folder_.LogPath() / "kept"), "kept");
  EXPECT_EQ(port.Control(), 0x01);
}

// Opening works, writing does not: a write failure must not pass as success.
TEST_F(FailedStart, LogThatCannotBeWritten) {
  std::filesystem::create_symlink("/dev/full", folder_.LogPath());
  ProgramRun run(folder_);
  ExpectFailure(run, "Quorvane.log");
}

// A FIFO with no reader: the line would vanish, and with a full pipe the
// start would block. It is refused, by name.
TEST_F(FailedStart, LogThatIsAFifo) {
  ASSERT_EQ(::mkfifo(folder_.LogPath().c_str(), 0666), 0);
  ProgramRun run(folder_);
  ExpectFailure(run, "the restart log " + folder_.LogPath().string() + " is a FIFO (named pipe)");
}

// A file size limit below the log's size: a message, not a silent death by
// the limit's signal.
TEST_F(FailedStart, LogOverTheFileSizeLimit) {
  const std::string earlier(2048, 'x');
  WriteAll(folder_.LogPath(), earlier);
  // The port's state file is made here: it is larger than the limit.
  simport::SimulatedPort port(folder_.StatePath().string());
  RunOptions options;
  options.fileSizeLimit = 1024;
  ProgramRun run(folder_, options);
  ExpectFailure(run, "cannot write the restart log " + folder_.LogPath().string() + ": File too large");
  EXPECT_EQ(ReadAll(folder_.LogPath()), earlier);
}

// A working folder the program's user may read but not write, holding an
// earlier log. As root (who may write anywhere) the program runs as nobody.
TEST_F(FailedStart, ReadOnlyWorkingFolderLeavesTheLogAlone) {
  namespace fs = std::filesystem;
  WriteAll(folder_.LogPath(), kEarlierLog);
  simport::SimulatedPort port(folder_.StatePath().string());
  RunOptions options;
  if (::geteuid() == 0) {
    options.user = 65534;
    options.group = 65534;
    fs::permissions(folder_.Path(), fs::perms(0755));
    // The build tree may lie where that user cannot go (under /root): it
    // gets copies of the program and the port library.
    fs::create_directory(folder_ / "bin");
    fs::copy_file(QUORVANE_PROGRAM, folder_ / "bin" / "quorvane");
    fs::copy_file(fs::path(SIMULATED_PORT_DIR) / "libinpout32.so", folder_ / "bin" / "libinpout32.so");
    options.program = (folder_ / "bin" / "quorvane").string();
    options.libraryFolder = (folder_ / "bin").string();
    // The port's state file is that user's: no other user's is used.
    ASSERT_EQ(::chown(folder_.StatePath().c_str(), 65534, 65534), 0);
    if (const char* xauthority = std::getenv("XAUTHORITY")) {
      // A server that wants a cookie: the other user gets a copy it can read.
      fs::copy_file(xauthority, folder_ / "xauthority");
      fs::permissions(folder_ / "xauthority", fs::perms(0644));
      options.environment.push_back("XAUTHORITY=" + (folder_ / "xauthority").string());
    }
    options.environment.push_back("HOME=" + folder_.Path().string());
  } else {
    // The run's output files must exist before the folder turns read-only.
    WriteAll(folder_ / "std.out", "");
    WriteAll(folder_ / "std.err", "");
    fs::permissions(folder_.Path(), fs::perms(0555));
  }
  fs::permissions(folder_.LogPath(), fs::perms(0444));
  {
    ProgramRun run(folder_, options);
    ExpectFailure(run, "Quorvane.log");
  }
  fs::permissions(folder_.Path(), fs::perms(0755));
  EXPECT_EQ(ReadAll(folder_.LogPath()), kEarlierLog);
}

}  // namespace
}  // namespace quorvane::e2e
