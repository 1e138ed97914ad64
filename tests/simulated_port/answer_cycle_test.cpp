// The whole answer cycle: quorvane-console running on the simulated port,
// with this test as the supervising side, raising the request line and
// checking the answer from the state file.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>

#include "simulated_port/simulated_port_client.h"
#include "simulated_port/simulated_port_layout.h"
#include "simulated_port_fixture.h"

extern char** environ;

namespace quorvane::simport::testing {
namespace {

using namespace std::chrono_literals;

// The program under test, stopped when the test ends however it ends.
class RunningProgram {
 public:
  RunningProgram(const char* path, const std::filesystem::path& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    char* argv[] = {const_cast<char*>(path), nullptr};
    if (posix_spawn(&pid_, path, &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~RunningProgram() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  bool Started() const { return pid_ > 0; }
  bool StillRunning() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  pid_t pid_ = -1;
};

double Milliseconds(std::uint64_t fromNs, std::uint64_t toNs) {
  return (static_cast<double>(toNs) - static_cast<double>(fromNs)) / 1e6;
}

using AnswerCycle = SimulatedPortTest;

TEST_F(AnswerCycle, ConsoleAnswersARaisedRequestLineOnTheSimulatedPort) {
  SimulatedPort port(StatePath());
  port.SetStatus(0xEF);  // every input raised but the request line
  AccessReader reader(port, true);
  const auto output = Folder() / "console.out";
  RunningProgram program(CONSOLE_PROGRAM, output);
  ASSERT_TRUE(program.Started());

  const auto first = reader.WaitFor([](const Access&) { return true; }, 3s);
  ASSERT_TRUE(first) << "no port access from the program; its output:\n" << std::ifstream(output).rdbuf();
  EXPECT_TRUE(first->write && first->port == 890 && first->value == 1)
      << "the first access of a run is the idle write of 1 to 890, not " << (first->write ? "W " : "R ")
      << first->port << " " << first->value;

  // Two polls with status 0xEF: no request, so no write.
  std::vector<Access> seen;
  for (int poll = 0; poll < 2; ++poll) {
    const auto read = reader.WaitFor([](const Access& a) { return !a.write && a.port == 889; }, 2500ms, &seen);
    ASSERT_TRUE(read) << "the program stopped polling";
    EXPECT_EQ(read->value, 0xEF);
  }
  for (const Access& access : seen) EXPECT_FALSE(access.write) << "a write to " << access.port << " without a request";

  port.RaiseRequest();
  std::vector<Access> answer;
  const auto start = reader.WaitFor(IsWriteTo(890), 2500ms, &answer);
  port.DropRequest();
  ASSERT_TRUE(start) << "the raised request line was not answered";
  ASSERT_GE(answer.size(), 2u);
  const Access& poll = answer[answer.size() - 2];
  EXPECT_TRUE(!poll.write && poll.port == 889 && poll.value == 0xFF) << "the answer follows a poll that saw bit 4";

  std::vector<Access> writes{*start};
  for (int i = 0; i < 3; ++i) {
    const auto next = reader.WaitFor(IsWriteTo(890), 1500ms, &answer);
    ASSERT_TRUE(next) << "the answer stopped after " << writes.size() << " writes";
    writes.push_back(*next);
  }
  const std::int16_t pattern[] = {0, 1, 0, 1};
  for (std::size_t i = 0; i < writes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(writes[i].value, pattern[i]);
    if (i > 0) {
      EXPECT_NEAR(Milliseconds(writes[i - 1].timeNs, writes[i].timeNs), 1000.0, 50.0);
    }
  }
  for (const Access& access : answer)
    EXPECT_TRUE(access.port == 890 || access.port == 889) << "an access to port " << access.port;
  EXPECT_EQ(port.Control(), 0x01) << "the answer ends at the idle level";
  EXPECT_TRUE(program.StillRunning());
}

}  // namespace
}  // namespace quorvane::simport::testing
