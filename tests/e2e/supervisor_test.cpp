// The program and the supervisor simulator meeting on one simulated port, as
// on a bench: the supervisor plays its patterns and judges every answer, and
// its exit status says whether all was well.

#include <spawn.h>

#include <gtest/gtest.h>

#include "program_run.h"
#include "simulated_port/simulated_port_client.h"

extern char** environ;

namespace quorvane::e2e {
namespace {

using namespace std::chrono_literals;

// Runs the supervisor on the folder's state file to its end; its exit
// status, or nullopt when it did not end within timeout (then it is killed).
std::optional<int> Supervise(const WorkFolder& folder, std::vector<std::string> arguments,
                             std::chrono::seconds timeout) {
  arguments.insert(arguments.begin(), {SUPERVISOR_PROGRAM, "--quiet", "--file", folder.StatePath().string()});
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (folder / "supervisor.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, SUPERVISOR_PROGRAM, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return std::nullopt;
    }
    std::this_thread::sleep_for(50ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

class WithSupervisor : public ::testing::Test {
 protected:
  // The program running and polling before the supervisor starts.
  void StartProgram() {
    simport::SimulatedPort port(folder_.StatePath().string());
    simport::AccessReader reader(port);
    run_.emplace(folder_);
    ASSERT_TRUE(reader.WaitFor([](const simport::Access& a) { return !a.write; }, 5s)) << run_->Output();
  }
  std::string Report() const { return ReadAll(folder_ / "supervisor.txt"); }

  WorkFolder folder_;
  std::optional<ProgramRun> run_;
};

TEST_F(WithSupervisor, RequestsAnsweredInTimeAndPulsesIgnored) {
  StartProgram();
  EXPECT_EQ(Supervise(folder_, {"--count", "2", "every", "5"}, 30s), 0) << Report();
  EXPECT_EQ(Supervise(folder_, {"pulse", "300"}, 15s), 0) << Report();
  EXPECT_EQ(Supervise(folder_, {"hold", "8"}, 20s), 0) << Report();
  EXPECT_TRUE(run_->StillRunning());
}

}  // namespace
}  // namespace quorvane::e2e
