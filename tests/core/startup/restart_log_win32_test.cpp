// The restart log against what Windows adds: another copy holding its turn
// on the log, folders and pipes where the log should be, the NUL device.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "core/startup/append_only_file.h"
#include "restart_log_test_support.h"

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
  EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, log); }), "no failure");
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited.count(), 1.5) << "the other copy's turn was not waited for";
  EXPECT_LT(waited.count(), 30.0) << "the wait must run out";
  EXPECT_EQ(ReadAll(log), before + kStamp);
  other.Close();

  // Once it has let go, the next start takes its turn at once.
  const auto next = std::chrono::steady_clock::now();
  AppendRestartStamp(clock, log);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - next).count(), 1.5);
  EXPECT_EQ(ReadAll(log), before + kStamp + kStamp);
}

TEST_F(RestartLog, FailuresNameTheFileAndTheSystemsReason) {
  const auto folderLog = folder / "folder.log";
  std::filesystem::create_directory(folderLog);
  EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, folderLog); }),
            "cannot open the restart log " + folderLog.string() + ": it is a folder");

  WriteAll(folder / "plain", "");
  const auto underAFile = folder / "plain" / "Quorvane.log";
  const std::string failure = FailureOf([&] { AppendRestartStamp(clock, underAFile); });
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
    const std::string path =
        "\\\\.\\pipe\\quorvane-test-" + name + "-" + std::to_string(::GetCurrentProcessId());
    const HANDLE pipe = ::CreateNamedPipeA(path.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1,
                                           0, 4096, 0, nullptr);
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
    EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, path); }), refusal(path));
    ::CloseHandle(pipe);
  }
  {
    SCOPED_TRACE("every instance taken");
    const auto [path, pipe] = makePipe("taken");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const HANDLE client = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, path); }), refusal(path));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    ::CloseHandle(client);
    ::CloseHandle(pipe);
  }
}

// A junction from `link` (a new folder) to `target`, as a user may make one
// without any privilege; false where the file system cannot.
bool MakeJunction(const std::filesystem::path& link, const std::filesystem::path& target) {
  if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
  const HANDLE folder = ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  const std::wstring substitute = L"\\??\\" + target.wstring();
  const std::wstring print = target.wstring();
  // A mount point's reparse data: the two names one after the other, each
  // ended by a 0.
  std::vector<char> buffer(sizeof(DWORD) + 2 * sizeof(WORD) + 4 * sizeof(WORD) +
                           (substitute.size() + print.size() + 2) * sizeof(wchar_t));
  auto* words = reinterpret_cast<WORD*>(buffer.data());
  *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
  words[2] = static_cast<WORD>(buffer.size() - 8);                          // data length
  words[4] = 0;                                                             // substitute offset
  words[5] = static_cast<WORD>(substitute.size() * sizeof(wchar_t));        // substitute length
  words[6] = static_cast<WORD>((substitute.size() + 1) * sizeof(wchar_t));  // print offset
  words[7] = static_cast<WORD>(print.size() * sizeof(wchar_t));             // print length
  auto* names = reinterpret_cast<wchar_t*>(words + 8);
  std::copy(substitute.begin(), substitute.end(), names);
  std::copy(print.begin(), print.end(), names + substitute.size() + 1);
  DWORD returned = 0;
  const BOOL made = ::DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
  ::CloseHandle(folder);
  return made != FALSE;
}

bool IsReparsePoint(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A link in the log's place is opened as itself, never followed, and
// refused: what it leads to is left as it was. (The Wine tests check the
// same of the program with a link Wine shows as a reparse point.)
TEST_F(RestartLog, LogThatIsALinkOrAJunctionIsRefusedAndWhatItLeadsToIsLeftAlone) {
  const auto refusal = [](const std::filesystem::path& path) {
    return "the restart log " + path.string() +
           " is a link (a reparse point), not a file: refused, so that no other file is written";
  };
  const auto victim = folder / "victim.txt";
  WriteAll(victim, "not the restart log\r\n");
  int made = 0;
  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, where the system allows it.
  if (::CreateSymbolicLinkW(log.c_str(), victim.c_str(), 0x2) && IsReparsePoint(log)) {
    SCOPED_TRACE("a symbolic link to a file");
    ++made;
    EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, log); }), refusal(log));
    EXPECT_EQ(ReadAll(victim), "not the restart log\r\n");
  }
  const auto victimFolder = folder / "victim-folder";
  std::filesystem::create_directory(victimFolder);
  const auto junction = folder / "junction.log";
  if (MakeJunction(junction, victimFolder) && IsReparsePoint(junction)) {
    SCOPED_TRACE("a junction");
    ++made;
    EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, junction); }), refusal(junction));
    EXPECT_TRUE(std::filesystem::is_empty(victimFolder));
  }
  if (made == 0) GTEST_SKIP() << "this system makes neither symbolic links nor junctions here";
}

// A device the administrator chose is written as it is.
TEST_F(RestartLog, LogThatIsTheNullDeviceTakesTheLine) {
  EXPECT_EQ(FailureOf([&] { AppendRestartStamp(clock, "NUL"); }), "no failure");
}

}  // namespace
}  // namespace quorvane
