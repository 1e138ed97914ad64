// Whom the state file trusts: its default place, a file that another user
// owns or may write, and a file cut short under the mapping, which must end
// the run with a message instead of SIGBUS.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>

#include "child_process.h"
#include "common/failure.h"
#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"
#include "simulated_port_fixture.h"

namespace quorvane::simport::testing {
namespace {

using namespace std::chrono_literals;
using quorvane::testing::ChildProcess;
using quorvane::testing::ReadAll;

using StateFileTrust = SimulatedPortTest;

// The user's runtime folder, which no other user may write, where the
// session names one; /tmp, where anyone may make the file first, only
// where it does not.
TEST_F(StateFileTrust, DefaultPathIsPerUserInTheRuntimeFolderElseInTmp) {
  const std::string inTmp = "/tmp/quorvane-simulated-port-" + std::to_string(geteuid());
  unsetenv("QUORVANE_SIMULATED_PORT");
  for (const char* runtime : {"/run/user/1234", "/run/user/1234/"}) {
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    EXPECT_EQ(SimulatedPort::DefaultPath(), "/run/user/1234/quorvane-simulated-port");
  }
  for (const char* notAFolder : {"", "relative/runtime"}) {
    setenv("XDG_RUNTIME_DIR", notAFolder, 1);
    EXPECT_EQ(SimulatedPort::DefaultPath(), inTmp);
  }
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SimulatedPort::DefaultPath(), inTmp);
  setenv("QUORVANE_SIMULATED_PORT", "", 1);
  EXPECT_EQ(SimulatedPort::DefaultPath(), inTmp);
  setenv("QUORVANE_SIMULATED_PORT", StatePath().c_str(), 1);
  setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
  EXPECT_EQ(SimulatedPort::DefaultPath(), StatePath());
}

// Anyone who may write the file could cut it short under the program (which
// ended it with SIGBUS and no word) or set its request line: such a file is
// refused, by the library and the tools alike, and left as it is.
TEST_F(StateFileTrust, RefusesAFileOthersMayWriteOrOwn) {
  const std::string path = StatePath().string();
  const std::string othersWrite = "the simulated port file " + path +
                                  " may be written by other users, who could change the port's lines or cut "
                                  "the file short under the program: it is not used (let only its owner "
                                  "write it, or remove it if no run uses it)";
  for (const mode_t mode : {0660, 0606, 0620, 0666}) {
    SCOPED_TRACE(mode);
    { SimulatedPort made(path); }
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    const std::string before = ReadAll(StatePath());
    auto library = LoadLibrary();
    EXPECT_EQ(library->isOpen(), 0);
    EXPECT_EQ(std::string(library->lastError()), othersWrite);
    const ToolResult status = RunTool("status");
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_NE(status.output.find(othersWrite), std::string::npos) << status.output;
    EXPECT_EQ(ReadAll(StatePath()), before);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(LoadLibrary()->isOpen(), 1) << "the owner's alone again";
  }
  if (geteuid() != 0) GTEST_SKIP() << "another user's file needs root to make";
  ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  auto library = LoadLibrary();
  EXPECT_EQ(library->isOpen(), 0);
  EXPECT_EQ(std::string(library->lastError()),
            "the simulated port file " + path + " belongs to another user: it is not ours");
}

// Cut short by its owner while mapped: the next access fails with the reason
// (the program then stops with it), in the library and in the client.
TEST_F(StateFileTrust, FileCutShortUnderTheMappingIsAFailureNotACrash) {
  const std::string path = StatePath().string();
  const std::string cutShort =
      "the simulated port file " + path + " was cut short while in use (another process truncated it)";
  const struct {
    const char* what;
    off_t size;
    std::string error;
  } cases[] = {
      {"to nothing", 0, cutShort},
      // Its first page still there: the size tells at the next read.
      {"past its registers", 100,
       "the simulated port file " + path + " was cut short while in use (100 bytes, expected " +
           std::to_string(sizeof(StateFile)) + ")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(path);
    ChildProcess program = ChildProcess::Function([&] {
      auto library = LoadLibrary();
      library->inp32(889);
      if (truncate(path.c_str(), c.size) != 0) return 3;
      library->inp32(889);
      library->out32(890, 1);
      std::fputs(library->lastError(), stderr);
      return 0;
    });
    EXPECT_EQ(program.Finish(30s), 0) << -SIGBUS << ": died of SIGBUS";
    EXPECT_EQ(program.Stderr(), c.error);
  }

  std::filesystem::remove(path);
  SimulatedPort port(path);
  AccessReader reader(port, true);
  ASSERT_EQ(truncate(path.c_str(), 0), 0);
  for (const auto& access : std::initializer_list<std::function<void()>>{
           [&] { port.Status(); }, [&] { port.RaiseRequest(); }, [&] { reader.ReadNew(); }}) {
    try {
      access();
      ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.what(), cutShort);
    }
  }
}

}  // namespace
}  // namespace quorvane::simport::testing
