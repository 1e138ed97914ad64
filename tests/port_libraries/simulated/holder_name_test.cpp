// A port's holder is named in the refusal as text: whatever its command line
// holds (a newline, a terminal's escapes) cannot add a line of its own to
// the message or recolour it.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "child_process.h"
#include "port_libraries/simulated/simulated_port_client.h"
#include "simulated_port_fixture.h"

namespace quorvane::simport::testing {
namespace {

using namespace std::chrono_literals;
using quorvane::testing::ChildProcess;

std::string CommandLine(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using HolderName = SimulatedPortTest;

TEST_F(HolderName, ForgedLinesInTheHoldersCommandLineAreShownAsTextInQuotes) {
  const std::string forged = "x\n\x1b[32mquorvane: all is well\x1b[0m\r";
  SimulatedPort made(StatePath());
  // The holder takes the lock, then becomes a program whose argv[0] is
  // forged; the lock stays its own.
  ChildProcess holder = ChildProcess::Function([&] {
    const int file = ::open(StatePath().c_str(), O_RDWR);
    if (file < 0 || ::flock(file, LOCK_EX) != 0) return 1;
    ::execl("/bin/sleep", forged.c_str(), "60", static_cast<char*>(nullptr));
    return 2;
  });
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (CommandLine(holder.Pid()).rfind(forged, 0) != 0) {
    ASSERT_TRUE(holder.Running() && std::chrono::steady_clock::now() < deadline)
        << "the holder never started";
    std::this_thread::sleep_for(10ms);
  }

  ChildProcess victim = ChildProcess::Function([&] {
    auto library = LoadLibrary();
    std::fputs(library->lastError(), stderr);
    return library->isOpen();
  });
  EXPECT_EQ(victim.Finish(30s), 0);
  EXPECT_EQ(victim.Stderr(),
            "the simulated port file " + StatePath().string() +
                " is held by another program: \"x??[32mquorvane: all is well?[0m?\" (process " +
                std::to_string(holder.Pid()) + ") has locked it");
  holder.Kill();
}

}  // namespace
}  // namespace quorvane::simport::testing
