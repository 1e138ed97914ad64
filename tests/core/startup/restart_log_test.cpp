// The restart log's lines and how they join what the file already holds, on
// every platform; restart_log_<platform>_test.cpp holds what each system
// adds (locks held by other processes, pipes, devices, limits).
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "common/system_clock.h"
#include "restart_log_test_support.h"

namespace quorvane {
namespace {

using testing::kLinePattern;
using testing::kStamp;
using testing::ReadAll;
using testing::RestartLog;
using testing::WriteAll;

TEST_F(RestartLog, NewLogIsCreatedWithExactlyOneLine) {
  AppendRestartStamp(clock, log);
  EXPECT_EQ(ReadAll(log), kStamp);
}

TEST_F(RestartLog, LinesFromTheSystemClockAreNineteenCharactersAndCrLf) {
  SystemClock system;
  AppendRestartStamp(system, log);
  AppendRestartStamp(system, log);
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
    AppendRestartStamp(clock, log);
    EXPECT_EQ(ReadAll(log), c.before + c.joint + kStamp);
  }
}

}  // namespace
}  // namespace quorvane
