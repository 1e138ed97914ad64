// The restart log against what only POSIX systems have: locks held by other
// processes, FIFOs and sockets, devices, file size limits, users.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <vector>

#include "child_process.h"
#include "common/failure.h"
#include "restart_log_test_support.h"

namespace quorvane {
namespace {

using testing::FailureOf;
using testing::FakeClock;
using testing::kLinePattern;
using testing::kStamp;
using testing::ReadAll;
using testing::RestartLog;
using testing::WriteAll;

using namespace std::chrono_literals;
using testing::ChildProcess;

struct ChildResult {
  int exitCode = -1;
  std::string output;
};

// Runs `body` in a forked process, for what must not touch this one (limits,
// a changed user) or might block; returns its exit status (-signal when a
// signal ended it, SIGKILL among them when it still ran after 20 s) and
// what it wrote to `out`. That is a pipe, not the child's output file,
// which a file size limit set in `body` would cut short; it is read once
// the child has ended, and holds far more than a message.
ChildResult RunInChild(const std::function<int(int out)>& body) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {};
  ChildProcess child = ChildProcess::Function([&] {
    ::close(pipeEnds[0]);
    return body(pipeEnds[1]);
  });
  ::close(pipeEnds[1]);
  ChildResult result{child.Finish(20s), {}};
  char buffer[512];
  ssize_t got;
  while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, got);
  ::close(pipeEnds[0]);
  return result;
}

// Logs one start; on failure writes the message to `out` and returns 1.
int LogAndReport(int out, const Clock& clock, const std::filesystem::path& log) {
  try {
    AppendRestartStamp(clock, log);
    return 0;
  } catch (const Failure& failure) {
    const ssize_t ignored = ::write(out, failure.what(), std::strlen(failure.what()));
    (void)ignored;
    return 1;
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

  AppendRestartStamp(clock, log);
  EXPECT_EQ(ReadAll(log), before + "12-08-20\r\n" + kStamp);
}

TEST_F(RestartLog, FailuresNameTheFileAndTheSystemsReason) {
  ASSERT_EQ(::symlink("/dev/full", log.c_str()), 0);
  EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, log); }),
            "cannot write the restart log " + log.string() + ": No space left on device");

  const auto folderLog = folder / "folder.log";
  std::filesystem::create_directory(folderLog);
  EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, folderLog); }),
            "cannot open the restart log " + folderLog.string() + ": Is a directory");

  WriteAll(folder / "plain", "");
  const auto underAFile = folder / "plain" / "Quorvane.log";
  EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, underAFile); }),
            "cannot open the restart log " + underAFile.string() + ": Not a directory");
  EXPECT_EQ(ReadAll(folder / "plain"), "");
}

// Permissions do not stop root, so as root these run as nobody.
int AsNobody(const std::function<int()>& body) {
  if (::geteuid() == 0 && ::setuid(65534) != 0) return 77;
  return body();
}

TEST_F(RestartLog, ReadOnlyFolderLeavesNoLog) {
  ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
  const ChildResult denied =
      RunInChild([&](int out) { return AsNobody([&] { return LogAndReport(out, clock, log); }); });
  if (denied.exitCode == 77) GTEST_SKIP() << "cannot give up root here";
  EXPECT_EQ(denied.exitCode, 1);
  EXPECT_EQ(denied.output, "cannot open the restart log " + log.string() + ": Permission denied");
  EXPECT_FALSE(std::filesystem::exists(log));
}

// A log that may be appended to but not read: its last byte cannot be looked
// at, so its length decides (every line written here is 21 bytes).
TEST_F(RestartLog, WriteOnlyLogStillGetsAWholeLine) {
  const struct {
    const char* what;
    std::string before, joint;
  } cases[] = {
      {"no lines yet", "", ""},
      {"whole lines", "12-06-2026 07:00:00\r\n12-07-2026 08:00:00\r\n", ""},
      {"a line cut short", "12-07-2026 08:00:00\r\n12-08-20", "\r\n"},
      // The worst case: a line cut after its CR gets a blank line after it.
      {"a line cut after its CR", "12-07-2026 08:00:00\r\n12-08-2026 09:30:15\r", "\r\n"},
  };
  ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(log, c.before);
    ASSERT_EQ(::chown(log.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(log.c_str(), 0200), 0);
    const ChildResult appended =
        RunInChild([&](int out) { return AsNobody([&] { return LogAndReport(out, clock, log); }); });
    if (appended.exitCode == 77) GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(appended.exitCode, 0) << appended.output;
    EXPECT_EQ(ReadAll(log), c.before + c.joint + kStamp);
  }
}

// Another copy holding the log, in a process of its own: it takes the lock,
// writes `whileHolding`, says so, then waits `holdFor` (or until the test
// ends) before it writes `beforeLettingGo` and lets go.
class LockHolder {
 public:
  LockHolder(const std::filesystem::path& log, const std::string& whileHolding,
             std::chrono::milliseconds holdFor, const std::string& beforeLettingGo) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(release_) != 0) std::abort();
    holder_.emplace(ChildProcess::Function([&] {
      ::close(ready[0]);
      ::close(release_[1]);
      const int file = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
      if (file < 0 || ::flock(file, LOCK_EX) != 0) return 1;
      if (::write(file, whileHolding.data(), whileHolding.size()) < 0) return 1;
      if (::write(ready[1], "x", 1) != 1) return 1;
      // Until the time is up or the test closes its end of the pipe.
      pollfd released{release_[0], POLLIN, 0};
      ::poll(&released, 1, static_cast<int>(holdFor.count()));
      return ::write(file, beforeLettingGo.data(), beforeLettingGo.size()) < 0 ? 1 : 0;
    }));
    ::close(ready[1]);
    ::close(release_[0]);
    char ignored;
    held_ = ::read(ready[0], &ignored, 1) == 1;
    ::close(ready[0]);
  }
  ~LockHolder() {
    ::close(release_[1]);
    holder_->Finish(30s);
  }
  bool Held() const { return held_; }

 private:
  std::optional<ChildProcess> holder_;
  int release_[2] = {-1, -1};
  bool held_ = false;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(RestartLog, AnotherCopyThatLetsGoSoonIsWaitedFor) {
  const std::string before = "12-07-2026 08:00:00\r\n";
  WriteAll(log, before);
  // Its line still arriving must not be taken for a line cut short.
  LockHolder other(log, "12-07-2026 08:00:", std::chrono::milliseconds(300), "01\r\n");
  ASSERT_TRUE(other.Held());
  const ChildResult start = RunInChild([&](int out) { return LogAndReport(out, clock, log); });
  EXPECT_EQ(start.exitCode, 0) << start.output;
  EXPECT_EQ(ReadAll(log), before + "12-07-2026 08:00:01\r\n" + kStamp);
}

TEST_F(RestartLog, AnotherCopyThatNeverLetsGoDelaysTheStartOnlyForAWhile) {
  const std::string before = "12-07-2026 08:00:00\r\n";
  WriteAll(log, before);
  LockHolder other(log, "", std::chrono::minutes(1), "");
  ASSERT_TRUE(other.Held());
  const auto start = std::chrono::steady_clock::now();
  const ChildResult logged = RunInChild([&](int out) { return LogAndReport(out, clock, log); });
  // It waited its turn for a while, then appended all the same (the bound
  // on the child ends a start that waits for ever).
  EXPECT_GE(SecondsSince(start), 1.5);
  EXPECT_EQ(logged.exitCode, 0) << logged.output;
  EXPECT_EQ(ReadAll(log), before + kStamp);
}

// A listening socket bound at `path`, for as long as it lives.
struct BoundSocket {
  explicit BoundSocket(const std::filesystem::path& path) {
    descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bound = ::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(descriptor, 1) == 0;
  }
  ~BoundSocket() { ::close(descriptor); }
  int descriptor = -1;
  bool bound = false;
};

// Where a line would be lost or the start could block, the start ends with a
// message naming the log; nothing waits.
TEST_F(RestartLog, LogThatIsAPipeOrASocketIsRefused) {
  const auto refusal = [&](const std::filesystem::path& file, const std::string& kind) {
    return "the restart log " + file.string() + " is " + kind +
           ", not a file: a line written there would be lost or could block";
  };
  const auto start = [&](const std::filesystem::path& file) {
    const ChildResult started = RunInChild([&](int out) { return LogAndReport(out, clock, file); });
    EXPECT_EQ(started.exitCode, 1) << "a start that blocked, or a line lost, passed for logged";
    return started.output;
  };
  const std::string fifo = "a FIFO (named pipe)";
  ASSERT_EQ(::mkfifo(log.c_str(), 0666), 0);
  {
    SCOPED_TRACE("no reader");
    EXPECT_EQ(start(log), refusal(log, fifo));
  }
  const int reader = ::open(log.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  {
    SCOPED_TRACE("a reader");
    EXPECT_EQ(start(log), refusal(log, fifo));
  }
  {
    SCOPED_TRACE("a full pipe");
    const int writer = ::open(log.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const std::string block(4096, 'x');
    while (::write(writer, block.data(), block.size()) > 0) {
    }
    EXPECT_EQ(start(log), refusal(log, fifo));
    ::close(writer);
  }
  ::close(reader);
  {
    SCOPED_TRACE("a link to a FIFO");
    const auto link = folder / "link.log";
    std::filesystem::create_symlink(log, link);
    EXPECT_EQ(start(link), refusal(link, fifo));
  }
  {
    SCOPED_TRACE("a socket");
    const auto socketLog = folder / "socket.log";
    BoundSocket socket(socketLog);
    ASSERT_TRUE(socket.bound);
    EXPECT_EQ(start(socketLog), refusal(socketLog, "a socket"));
  }
}

// In a folder others may write, a name there can be pointed at another
// user's file, or be taken before ours is made: such a log is refused by
// name and the file it leads to is left as it was. A plain log of the
// user's own, or a new one, is written as anywhere.
TEST_F(RestartLog, LogInAFolderOthersMayWriteIsWrittenOnlyWhenItIsOurOwnPlainFile) {
  const std::string victimText = "not the restart log\n";
  const auto victim = folder / "victim";
  const auto shared = folder / "shared";
  std::filesystem::create_directory(shared);
  const auto sharedLog = shared / "Quorvane.log";
  const auto refusal = [&](const std::string& why) {
    return "the restart log " + sharedLog.string() + " is " + why +
           " in a folder that other users may write; refused, so that no other user's file is written";
  };
  for (const mode_t mode : {01777, 0777}) {
    SCOPED_TRACE(mode == 01777 ? "sticky and world-writable" : "world-writable");
    ASSERT_EQ(::chmod(shared.c_str(), mode), 0);
    WriteAll(victim, victimText);

    ASSERT_EQ(::symlink(victim.c_str(), sharedLog.c_str()), 0);
    EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, sharedLog); }), refusal("a symbolic link"));
    std::filesystem::remove(sharedLog);
    ASSERT_EQ(::symlink("/dev/null", sharedLog.c_str()), 0);
    EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, sharedLog); }), refusal("a symbolic link"));
    std::filesystem::remove(sharedLog);

    ASSERT_EQ(::link(victim.c_str(), sharedLog.c_str()), 0);
    EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, sharedLog); }),
              refusal("a file with other hard links"));
    std::filesystem::remove(sharedLog);
    EXPECT_EQ(ReadAll(victim), victimText);

    // Ours, new and then appended to.
    AppendRestartStamp(clock, sharedLog);
    AppendRestartStamp(clock, sharedLog);
    EXPECT_EQ(ReadAll(sharedLog), std::string(kStamp) + kStamp);

    if (::geteuid() == 0) {
      // Another user's: as root the log is given to nobody.
      ASSERT_EQ(::chown(sharedLog.c_str(), 65534, 65534), 0);
      const std::string earlier = ReadAll(sharedLog);
      EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, sharedLog); }), refusal("another user's file"));
      EXPECT_EQ(ReadAll(sharedLog), earlier);
    }
    std::filesystem::remove(sharedLog);
  }
  if (::geteuid() != 0) GTEST_SKIP() << "another user's file needs root to make";
}

// A folder of another user's, which that user may change under us, counts
// as shared; one of the user's own keeps the links the user made there.
TEST_F(RestartLog, LinksAreRefusedInAnotherUsersFolderAndFollowedInOurOwn) {
  const auto victim = folder / "victim";
  WriteAll(victim, "");
  ASSERT_EQ(::symlink(victim.c_str(), log.c_str()), 0);
  AppendRestartStamp(clock, log);
  EXPECT_EQ(ReadAll(victim), kStamp) << "our own folder: the link is ours";
  std::filesystem::remove(log);
  ASSERT_EQ(::link(victim.c_str(), log.c_str()), 0);
  AppendRestartStamp(clock, log);
  EXPECT_EQ(ReadAll(victim), std::string(kStamp) + kStamp);
  std::filesystem::remove(log);

  if (::geteuid() != 0) GTEST_SKIP() << "another user's folder needs root to make";
  const auto theirs = folder / "theirs";
  std::filesystem::create_directory(theirs);
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::symlink(victim.c_str(), (theirs / "Quorvane.log").c_str()), 0);
  EXPECT_NE(FailureOf([&] {
              AppendRestartStamp(clock, theirs / "Quorvane.log");
            }).find("is a symbolic link in a folder"),
            std::string::npos);
  EXPECT_EQ(ReadAll(victim), std::string(kStamp) + kStamp);
}

// A device the administrator chose is written as it is.
TEST_F(RestartLog, LogThatIsTheNullDeviceTakesTheLine) {
  ASSERT_EQ(::symlink("/dev/null", log.c_str()), 0);
  EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, log); }), "no failure");
}

TEST_F(RestartLog, FileSizeLimitIsAWriteFailureNotASignal) {
  const std::string before(2048, 'x');
  WriteAll(log, before);
  const ChildResult limited = RunInChild([&](int out) {
    std::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{1024, 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const int status = LogAndReport(out, clock, log);
    // The signal's disposition is the caller's again.
    struct sigaction after {};
    ::sigaction(SIGXFSZ, nullptr, &after);
    return after.sa_handler == SIG_DFL ? status : 3;
  });
  EXPECT_EQ(limited.exitCode, 1) << -SIGXFSZ << ": killed by the limit's signal";
  EXPECT_EQ(limited.output, "cannot write the restart log " + log.string() + ": File too large");
  EXPECT_EQ(ReadAll(log), before);
}

TEST_F(RestartLog, StartsInParallelLeaveOnlyWholeLinesAndLoseNone) {
  constexpr int kCopies = 20, kStarts = 50;
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  std::vector<ChildProcess> copies;
  copies.reserve(kCopies);
  for (int copy = 0; copy < kCopies; ++copy) {
    copies.push_back(ChildProcess::Function([&, copy] {
      // Every copy waits at the gate, so they all start at the same moment.
      ::close(gate[1]);
      char ignored;
      if (::read(gate[0], &ignored, 1) != 0) return 2;
      FakeClock own;  // each line names its copy (minute) and start (second)
      own.local.minute = copy;
      for (int start = 0; start < kStarts; ++start) {
        own.local.second = start;
        if (LogAndReport(STDERR_FILENO, own, log) != 0) return 1;
      }
      return 0;
    }));
  }
  ::close(gate[0]);
  ::close(gate[1]);
  for (ChildProcess& copy : copies) EXPECT_EQ(copy.Finish(60s), 0) << copy.Stderr();

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
