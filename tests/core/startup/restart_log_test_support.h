#pragma once

// What the restart log tests of every platform share: the line a FakeClock
// start writes, and a fresh log in a folder of its own.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "common/failure.h"
#include "core/startup/restart_log.h"
#include "fakes.h"
#include "temp_folder.h"

namespace quorvane::testing {

// One restart log line: "MM-DD-YYYY hh:mm:ss" CR LF.
constexpr char kLinePattern[] = R"(\d\d-\d\d-\d\d\d\d \d\d:\d\d:\d\d\r\n)";
constexpr char kStamp[] = "12-08-2026 09:30:15\r\n";  // FakeClock's local time

inline std::string FailureOf(const std::function<void()>& action) {
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

}  // namespace quorvane::testing
