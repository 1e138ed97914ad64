// quorvane-supervisor as a script runs it: against the console front end on
// the simulated port, each test in a fresh folder with a state file of its
// own, judged by its exit status, summary and files.

#include <gtest/gtest.h>

#include "port_libraries/simulated/simulated_port_client.h"
#include "tests/e2e/program_run.h"

namespace quorvane::supervisor {
namespace {

using namespace std::chrono_literals;
using e2e::ProgramRun;
using e2e::RunOptions;
using e2e::WorkFolder;
using quorvane::testing::ReadAll;

class SupervisorProcess : public ::testing::Test {
 protected:
  // The console front end, polling once a second; returns once it has made
  // its first port access.
  void StartProgram() {
    simport::SimulatedPort port(folder_.StatePath().string());
    simport::AccessReader reader(port);
    program_.emplace(folder_);
    ASSERT_TRUE(reader.WaitFor([](const simport::Access&) { return true; }, 3s))
        << "the program made no port access\n"
        << program_->Output();
  }

  RunOptions Supervisor(std::vector<std::string> arguments) {
    RunOptions options;
    options.program = SUPERVISOR_PROGRAM;
    options.arguments = std::move(arguments);
    options.outputName = "supervisor";
    return options;
  }

  // Runs the supervisor to its end; its exit status, its output in *output.
  std::optional<int> Supervise(std::vector<std::string> arguments, std::string* output) {
    ProgramRun supervisor(folder_, Supervisor(std::move(arguments)));
    const auto status = supervisor.WaitForExit(20s);
    *output = supervisor.Output();
    return status;
  }

  WorkFolder folder_;
  std::optional<ProgramRun> program_;
};

TEST_F(SupervisorProcess, OneRequestIsAnsweredWholeAndInTimeByAProgramStartedAlongside) {
  // Started together, as the demo does: --wait-poll keeps the program's
  // start-up out of the first request's latency.
  ProgramRun supervisor(
      folder_, Supervisor({"once", "--wait-poll", "--quiet", "--vcd", "run.vcd", "--json", "run.json"}));
  std::this_thread::sleep_for(200ms);
  StartProgram();
  const auto status = supervisor.WaitForExit(20s);
  const std::string output = supervisor.Output();
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
  EXPECT_NE(output.find("request line raised (a pulse, which must not be answered)"), std::string::npos)
      << "the live trace shows the pulse";
  EXPECT_NE(output.find(" R 889 status  0x00"), std::string::npos) << "and the polls that did not see it";
}

TEST_F(SupervisorProcess, WithNoProgramTheRequestIsMissingAndTheLineLeftLow) {
  std::string output;
  EXPECT_EQ(Supervise({"once", "--deadline", "1.5"}, &output), 1) << output;
  EXPECT_NE(output.find("MISSING no answer within 1.500 s"), std::string::npos) << output;
  EXPECT_NE(output.find("result             FAIL: 1 missing\n"), std::string::npos) << output;
  simport::SimulatedPort port(folder_.StatePath().string());
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
