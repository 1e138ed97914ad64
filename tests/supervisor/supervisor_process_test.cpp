// quorvane-supervisor as a script runs it: against the console front end on
// the simulated port, each test in a fresh folder with a state file of its
// own, judged by its exit status, summary and files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "simulated_port/simulated_port_client.h"
#include "temp_folder.h"

namespace quorvane::supervisor {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

using quorvane::testing::ReadAll;

// A child process with its own working folder, environment additions and
// output file; stopped when the test ends however it ends.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const fs::path& folder, const fs::path& output,
               const std::vector<std::pair<std::string, std::string>>& environment) {
    pid_ = fork();
    if (pid_ != 0) return;
    // The child: only async-signal-safe work would be strictly right here,
    // but the test is single-threaded.
    if (chdir(folder.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) _exit(126);
    dup2(fd, 1);
    dup2(fd, 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  ~ChildProcess() {
    if (pid_ <= 0 || exited_) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The exit status, or -1 when it did not exit in time (or died of a signal).
  int Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

class SupervisorProcess : public ::testing::Test {
 protected:
  // The console front end, polling once a second; returns once it has made
  // its first port access.
  void StartProgram() {
    simport::SimulatedPort port(statePath_.string());
    simport::AccessReader reader(port);
    program_ = std::make_unique<ChildProcess>(std::vector<std::string>{CONSOLE_PROGRAM}, folder_,
                                              folder_ / "console.out", environment_);
    ASSERT_TRUE(reader.WaitFor([](const simport::Access&) { return true; }, 3s))
        << "the program made no port access; its output:\n" << ReadAll(folder_ / "console.out");
  }

  // Runs the supervisor to its end; its exit status, its output in *output.
  int Supervise(std::vector<std::string> args, std::string* output, std::chrono::seconds timeout = 20s) {
    args.insert(args.begin(), SUPERVISOR_PROGRAM);
    ChildProcess supervisor(args, folder_, folder_ / "supervisor.out", environment_);
    const int status = supervisor.Wait(timeout);
    *output = ReadAll(folder_ / "supervisor.out");
    return status;
  }

  quorvane::testing::TempFolder tempFolder_;
  const fs::path& folder_ = tempFolder_.path();
  fs::path statePath_ = folder_ / "port-state";
  std::vector<std::pair<std::string, std::string>> environment_{
      {"QUORVANE_SIMULATED_PORT", statePath_.string()}, {"LD_LIBRARY_PATH", SIMULATED_PORT_DIR}};
  std::unique_ptr<ChildProcess> program_;
};

TEST_F(SupervisorProcess, OneRequestIsAnsweredWholeAndInTimeByAProgramStartedAlongside) {
  // Started together, as the demo does: --wait-poll keeps the program's
  // start-up out of the first request's latency.
  ChildProcess supervisor({SUPERVISOR_PROGRAM, "once", "--wait-poll", "--quiet", "--vcd", "run.vcd", "--json",
                           "run.json"},
                          folder_, folder_ / "supervisor.out", environment_);
  std::this_thread::sleep_for(200ms);
  StartProgram();
  const int status = supervisor.Wait(20s);
  const std::string output = ReadAll(folder_ / "supervisor.out");
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("answers seen       1\n  ok               1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("missing            0\n"), std::string::npos) << output;
  EXPECT_NE(output.find("spacing error max "), std::string::npos) << output;
  EXPECT_NE(output.find("result             PASS\n"), std::string::npos) << output;
  EXPECT_EQ(output.find(" R 889 "), std::string::npos) << "--quiet prints no trace";

  const std::string json = ReadAll(folder_ / "run.json");
  EXPECT_NE(json.find("\"ok\": 1,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"exit_code\": 0"), std::string::npos) << json;
  // The answer line in the VCD: 0 in a new state file, the program's idle
  // write of 1 at its start, then the answer 0, 1, 0, 1.
  const std::string vcd = ReadAll(folder_ / "run.vcd");
  EXPECT_NE(vcd.find("$enddefinitions $end\n#0\n$dumpvars\n0r\n0a\n$end\n"), std::string::npos) << vcd;
  std::string answerLevels;
  std::istringstream lines(vcd);
  for (std::string line; std::getline(lines, line);) {
    if (line == "0a" || line == "1a") answerLevels += line[0];
  }
  EXPECT_EQ(answerLevels, "010101") << vcd;
}

TEST_F(SupervisorProcess, APulseBetweenTwoPollsIsNotAnswered) {
  StartProgram();
  std::string output;
  EXPECT_EQ(Supervise({"pulse", "300"}, &output), 0) << output;
  EXPECT_NE(output.find("pulses placed      1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("answers seen       0\n"), std::string::npos) << output;
  EXPECT_NE(output.find("request line raised (a pulse, which must not be answered)"), std::string::npos) << "the live trace shows the pulse";
  EXPECT_NE(output.find(" R 889 status  0x00"), std::string::npos) << "and the polls that did not see it";
}

TEST_F(SupervisorProcess, WithNoProgramTheRequestIsMissingAndTheLineLeftLow) {
  std::string output;
  EXPECT_EQ(Supervise({"once", "--deadline", "1.5"}, &output), 1) << output;
  EXPECT_NE(output.find("MISSING no answer within 1.500 s"), std::string::npos) << output;
  EXPECT_NE(output.find("result             FAIL: 1 missing\n"), std::string::npos) << output;
  simport::SimulatedPort port(statePath_.string());
  EXPECT_EQ(port.Status() & 0x10, 0) << "the request line is dropped at the end";
}

TEST_F(SupervisorProcess, ExitStatusTellsBadUsageFromFilesThatCannotBeOpened) {
  std::string output;
  EXPECT_EQ(Supervise({"--help"}, &output), 0);
  EXPECT_NE(output.find("Exit status:"), std::string::npos) << output;
  EXPECT_EQ(Supervise({"twice"}, &output), 2);
  EXPECT_NE(output.find("unknown pattern 'twice'"), std::string::npos) << output;
  EXPECT_EQ(Supervise({"--file", (folder_ / "no-such-folder" / "port").string(), "once"}, &output), 3);
  EXPECT_NE(output.find("no-such-folder"), std::string::npos) << output;
  EXPECT_EQ(Supervise({"--vcd", (folder_ / "no-such-folder" / "run.vcd").string(), "once"}, &output), 3);
  EXPECT_NE(output.find("cannot write the VCD file"), std::string::npos) << output;
}

}  // namespace
}  // namespace quorvane::supervisor
