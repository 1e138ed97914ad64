// A start of the real program seen from outside: what it does to the port
// first, and the restart log it leaves in its working folder.

#include <gtest/gtest.h>

#include <sys/file.h>

#include <regex>

#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"
#include "program_run.h"

namespace quorvane::e2e {
namespace {

using namespace std::chrono_literals;
using simport::Access;

TEST(Start, FirstPortAccessIsTheIdleWriteAndPollingBeginsAboutASecondLater) {
  WorkFolder folder;
  simport::SimulatedPort port(folder.StatePath().string());
  // The request line is already raised: still nothing may be read first.
  port.SetStatus(0xFF);
  simport::AccessReader reader(port, true);
  ProgramRun run(folder);
  ASSERT_TRUE(run.Started());

  const auto first = reader.WaitFor([](const Access&) { return true; }, 5s);
  ASSERT_TRUE(first) << "no port access at all\n" << run.Output();
  EXPECT_TRUE(first->write && first->port == simport::kControlPort && first->value == 1)
      << "first access: " << (first->write ? "write " : "read ") << first->port << " = " << first->value;

  const auto poll = reader.WaitFor([](const Access& a) { return !a.write; }, 3s);
  ASSERT_TRUE(poll) << "the program never polled";
  EXPECT_EQ(poll->port, simport::kStatusPort);
  // The first tick comes about 1000 ms after the window was made, which is
  // just before the idle write.
  const double ms = (static_cast<double>(poll->timeNs) - static_cast<double>(first->timeNs)) / 1e6;
  EXPECT_GT(ms, 700.0);
  EXPECT_LT(ms, 1100.0);
}

// One line per start, each "MM-DD-YYYY<separator>hh:mm:ss" ended by CR LF,
// appended after what was there.
TEST(Start, EachStartAppendsOneLogLine) {
  WorkFolder folder;
  simport::SimulatedPort port(folder.StatePath().string());
  const std::string earlier = "01-02-2025 03:04:05\r\n";
  WriteAll(folder.LogPath(), earlier);
  for (int start = 1; start <= 2; ++start) {
    SCOPED_TRACE(start);
    simport::AccessReader reader(port);
    ProgramRun run(folder);
    // The log is written before the window shows and the first tick polls.
    ASSERT_TRUE(reader.WaitFor([](const Access& a) { return !a.write; }, 5s)) << run.Output();
    run.Stop();
  }
  const std::string log = ReadAll(folder.LogPath());
  ASSERT_EQ(log.compare(0, earlier.size(), earlier), 0) << "the earlier content was changed:\n" << log;
  const std::string added = log.substr(earlier.size());
  static const std::regex twoLines(R"((\d\d-\d\d-\d{4}[^\d\r\n]{0,3}\d\d:\d\d:\d\d\r\n){2})");
  EXPECT_TRUE(std::regex_match(added, twoLines))
      << "expected two stamp lines ended by CR LF, got: " << ::testing::PrintToString(added);
}

// Another process holding the log's lock for longer than the program waits
// its turn: the start goes ahead after a while, with its line whole.
TEST(Start, LogHeldByAnotherProcessDelaysTheStartOnlyForAWhile) {
  WorkFolder folder;
  simport::SimulatedPort port(folder.StatePath().string());
  const std::string earlier = "01-02-2025 03:04:05\r\n";
  WriteAll(folder.LogPath(), earlier);
  const int held = ::open(folder.LogPath().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  // Holds the lock until killed, or a minute at most.
  testing::ChildProcess holder = testing::ChildProcess::Function([&] {
    if (::flock(held, LOCK_EX) != 0 || ::write(ready[1], "x", 1) != 1) return 1;
    ::sleep(60);
    return 0;
  });
  ::close(held);
  ::close(ready[1]);
  char signal;
  ASSERT_EQ(::read(ready[0], &signal, 1), 1) << "the lock was not taken";
  ::close(ready[0]);

  simport::AccessReader reader(port);
  ProgramRun run(folder);
  const bool polled = reader.WaitFor([](const Access& a) { return !a.write; }, 20s).has_value();
  run.Stop();
  holder.Kill();
  ASSERT_TRUE(polled) << "the start waited for ever\n" << run.Output();
  const std::string log = ReadAll(folder.LogPath());
  static const std::regex oneLine(R"(\d\d-\d\d-\d{4}[^\d\r\n]{0,3}\d\d:\d\d:\d\d\r\n)");
  ASSERT_EQ(log.compare(0, earlier.size(), earlier), 0) << log;
  EXPECT_TRUE(std::regex_match(log.substr(earlier.size()), oneLine)) << ::testing::PrintToString(log);
}

}  // namespace
}  // namespace quorvane::e2e
