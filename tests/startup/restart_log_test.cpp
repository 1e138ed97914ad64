#include "startup/restart_log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <regex>
#include <set>
#include <vector>

#include "common/failure.h"
#include "common/system_clock.h"
#include "fakes.h"
#include "temp_folder.h"

namespace quorvane {
namespace {

using testing::FakeClock;

// One restart log line: "MM-DD-YYYY hh:mm:ss" CR LF.
constexpr char kLinePattern[] = R"(\d\d-\d\d-\d\d\d\d \d\d:\d\d:\d\d\r\n)";
using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

constexpr char kStamp[] = "12-08-2026 09:30:15\r\n";  // FakeClock's local time

struct ChildResult {
  int exitCode = -1;
  std::string output;
};

// Runs `body` in a forked process, for what must not touch this one (limits,
// a changed user); returns its exit code and what it wrote to its pipe.
ChildResult RunInChild(const std::function<int(int out)>& body) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeEnds[0]);
    ::_exit(body(pipeEnds[1]));
  }
  ::close(pipeEnds[1]);
  ChildResult result;
  char buffer[512];
  ssize_t got;
  while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, got);
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

// Logs one start; on failure writes the message to `out` and returns 1.
int LogAndReport(int out, const Clock& clock, const std::filesystem::path& log) {
  try {
    LogDateTime(clock, log);
    return 0;
  } catch (const Failure& failure) {
    const ssize_t ignored = ::write(out, failure.what(), std::strlen(failure.what()));
    (void)ignored;
    return 1;
  }
}

std::string FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "no failure";
}

struct RestartLog : ::testing::Test {
  TempFolder folder;
  std::filesystem::path log = folder / "Quorvane.log";
  FakeClock clock;
};

TEST_F(RestartLog, NewLogIsCreatedWithExactlyOneLine) {
  LogDateTime(clock, log);
  EXPECT_EQ(ReadAll(log), kStamp);
}

TEST_F(RestartLog, LinesFromTheSystemClockAreNineteenCharactersAndCrLf) {
  SystemClock system;
  LogDateTime(system, log);
  LogDateTime(system, log);
  const std::string pattern = kLinePattern;
  EXPECT_TRUE(std::regex_match(ReadAll(log), std::regex(pattern + pattern)));
}

TEST_F(RestartLog, EarlierBytesStayAndTheStampStartsALineOfItsOwn) {
  const struct {
    const char* what;
    std::string before, joint;
  } cases[] = {
      {"whole lines", "12-07-2026 08:00:00\r\n", ""},
      {"a line ended by LF alone", "checked by hand\n", ""},
      {"a line cut short", "12-07-2026 08:00:00\r\n12-08-20", "\r\n"},
      {"a line cut after its CR", "12-07-2026 08:00:00\r\n12-08-2026 09:30:15\r", "\n"},
      {"bytes that are not text", std::string("\0\xff\x1a note", 8), "\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(log, c.before);
    LogDateTime(clock, log);
    EXPECT_EQ(ReadAll(log), c.before + c.joint + kStamp);
  }
}

TEST_F(RestartLog, LineThatLandsOnlyInPartFailsAndTheNextStartBeginsAfterIt) {
  const std::string before = "12-07-2026 08:00:00\r\n";
  WriteAll(log, before);
  // A file size limit 8 bytes past the end lets only 8 bytes of the line in.
  const ChildResult partial = RunInChild([&](int out) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{before.size() + 8, before.size() + 8};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return LogAndReport(out, clock, log);
  });
  EXPECT_EQ(partial.exitCode, 1);
  EXPECT_EQ(partial.output,
            "cannot write the restart log " + log.string() + ": only 8 of 21 bytes were written");
  EXPECT_EQ(ReadAll(log), before + "12-08-20");

  LogDateTime(clock, log);
  EXPECT_EQ(ReadAll(log), before + "12-08-20\r\n" + kStamp);
}

TEST_F(RestartLog, FailuresNameTheFileAndTheSystemsReason) {
  ASSERT_EQ(::symlink("/dev/full", log.c_str()), 0);
  EXPECT_EQ(FailureOf([&] { LogDateTime(clock, log); }),
            "cannot write the restart log " + log.string() + ": No space left on device");

  const auto folderLog = folder / "folder.log";
  std::filesystem::create_directory(folderLog);
  EXPECT_EQ(FailureOf([&] { LogDateTime(clock, folderLog); }),
            "cannot open the restart log " + folderLog.string() + ": Is a directory");

  WriteAll(folder / "plain", "");
  const auto underAFile = folder / "plain" / "Quorvane.log";
  EXPECT_EQ(FailureOf([&] { LogDateTime(clock, underAFile); }),
            "cannot open the restart log " + underAFile.string() + ": Not a directory");
  EXPECT_EQ(ReadAll(folder / "plain"), "");
}

// Permissions do not stop root, so as root these run as nobody.
int AsNobody(const std::function<int()>& body) {
  if (::geteuid() == 0 && ::setuid(65534) != 0) return 77;
  return body();
}

TEST_F(RestartLog, PermissionsDecideWhatHappens) {
  // A read-only folder: the log cannot be created.
  ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
  const ChildResult denied =
      RunInChild([&](int out) { return AsNobody([&] { return LogAndReport(out, clock, log); }); });
  if (denied.exitCode == 77) GTEST_SKIP() << "cannot give up root here";
  EXPECT_EQ(denied.exitCode, 1);
  EXPECT_EQ(denied.output, "cannot open the restart log " + log.string() + ": Permission denied");
  EXPECT_FALSE(std::filesystem::exists(log));

  // A log that may be appended to but not read still gets its line.
  const std::string before = "12-07-2026 08:00:00\r\n";
  ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
  WriteAll(log, before);
  ASSERT_EQ(::chmod(log.c_str(), 0222), 0);
  const ChildResult appended =
      RunInChild([&](int out) { return AsNobody([&] { return LogAndReport(out, clock, log); }); });
  EXPECT_EQ(appended.exitCode, 0) << appended.output;
  EXPECT_EQ(ReadAll(log), before + kStamp);
}

TEST_F(RestartLog, StartsInParallelLeaveOnlyWholeLinesAndLoseNone) {
  constexpr int kCopies = 20, kStarts = 50;
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  std::vector<pid_t> copies;
  for (int copy = 0; copy < kCopies; ++copy) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      // Every copy waits at the gate, so they all start at the same moment.
      ::close(gate[1]);
      char ignored;
      if (::read(gate[0], &ignored, 1) != 0) ::_exit(2);
      FakeClock own;  // each line names its copy (minute) and start (second)
      own.local.minute = copy;
      for (int start = 0; start < kStarts; ++start) {
        own.local.second = start;
        if (LogAndReport(2, own, log) != 0) ::_exit(1);
      }
      ::_exit(0);
    }
    copies.push_back(pid);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  for (const pid_t pid : copies) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  // Every stamp is a whole line of its own, none is lost and no copy took
  // another's line, still arriving, for a line cut short (no empty lines).
  const std::string text = ReadAll(log);
  const std::regex line(kLinePattern);
  std::set<std::string> stamps;
  for (std::size_t at = 0; at < text.size(); at += 21) {
    const std::string stamp = text.substr(at, 21);
    EXPECT_TRUE(std::regex_match(stamp, line)) << ::testing::PrintToString(stamp);
    EXPECT_TRUE(stamps.insert(stamp).second) << "twice: " << stamp;
  }
  EXPECT_EQ(text.size(), static_cast<std::size_t>(kCopies * kStarts) * 21) << "lost lines";
}

}  // namespace
}  // namespace quorvane
