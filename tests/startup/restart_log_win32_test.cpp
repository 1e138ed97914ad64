// The restart log against what Windows adds: another copy holding its turn
// on the log, folders and pipes where the log should be, the NUL device.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>

#include "restart_log_test_support.h"
#include "startup/append_only_file.h"

namespace quorvane {
namespace {

using testing::FailureOf;
using testing::kStamp;
using testing::ReadAll;
using testing::RestartLog;
using testing::WriteAll;

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// Windows locks belong to the handle, not the process: a second open of the
// log that takes its turn and keeps it is another copy that never lets go.
TEST_F(RestartLog, AnotherCopyThatNeverLetsGoDelaysTheStartOnlyForAWhile) {
  const std::string before = "12-07-2026 08:00:00\r\n";
  WriteAll(log, before);
  AppendOnlyFile other(log, "the other copy's log");
  other.HoldOthersOff();

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(FailureOf([&] { LogDateTime(clock, log); }), "no failure");
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited.count(), 1.5) << "the other copy's turn was not waited for";
  EXPECT_LT(waited.count(), 30.0) << "the wait must run out";
  EXPECT_EQ(ReadAll(log), before + kStamp);
  other.Close();

  // Once it has let go, the next start takes its turn at once.
  const auto next = std::chrono::steady_clock::now();
  LogDateTime(clock, log);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - next).count(), 1.5);
  EXPECT_EQ(ReadAll(log), before + kStamp + kStamp);
}

TEST_F(RestartLog, FailuresNameTheFileAndTheSystemsReason) {
  const auto folderLog = folder / "folder.log";
  std::filesystem::create_directory(folderLog);
  EXPECT_EQ(FailureOf([&] { LogDateTime(clock, folderLog); }),
            "cannot open the restart log " + folderLog.string() + ": it is a folder");

  WriteAll(folder / "plain", "");
  const auto underAFile = folder / "plain" / "Quorvane.log";
  const std::string failure = FailureOf([&] { LogDateTime(clock, underAFile); });
  const std::string head = "cannot open the restart log " + underAFile.string() + ": ";
  EXPECT_TRUE(StartsWith(failure, head)) << failure;
  EXPECT_GT(failure.size(), head.size()) << "the system's reason is missing";
  EXPECT_EQ(failure.find("system error"), std::string::npos) << "the reason is not in words: " << failure;
  EXPECT_EQ(ReadAll(folder / "plain"), "");
}

// A named pipe keeps no line, and one whose every instance is taken would
// have the start wait for it: both are refused at once.
TEST_F(RestartLog, LogThatIsAPipeIsRefused) {
  // A pipe of one instance, a new one for each case: an instance a client
  // has left stays taken until its server disconnects it.
  const auto makePipe = [](const std::string& name) {
    const std::string path = "\\\\.\\pipe\\quorvane-test-" + name + "-" +
                             std::to_string(::GetCurrentProcessId());
    const HANDLE pipe = ::CreateNamedPipeA(path.c_str(), PIPE_ACCESS_INBOUND,
                                           PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 0, 4096, 0, nullptr);
    return std::make_pair(path, pipe);
  };
  const auto refusal = [](const std::string& path) {
    return "the restart log " + path +
           " is a pipe, not a file: a line written there would be lost or could block";
  };
  {
    SCOPED_TRACE("a free instance");
    const auto [path, pipe] = makePipe("free");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FailureOf([&] { LogDateTime(clock, path); }), refusal(path));
    ::CloseHandle(pipe);
  }
  {
    SCOPED_TRACE("every instance taken");
    const auto [path, pipe] = makePipe("taken");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const HANDLE client = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FailureOf([&] { LogDateTime(clock, path); }), refusal(path));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    ::CloseHandle(client);
    ::CloseHandle(pipe);
  }
}

// A device the administrator chose is written as it is.
TEST_F(RestartLog, LogThatIsTheNullDeviceTakesTheLine) {
  EXPECT_EQ(FailureOf([&] { LogDateTime(clock, "NUL"); }), "no failure");
}

}  // namespace
}  // namespace quorvane
