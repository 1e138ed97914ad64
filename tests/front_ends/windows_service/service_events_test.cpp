// What the service writes to the event log over runs that each end in a
// failure and are started again (each a new ServiceEvents over the same
// record file, as each is a new process), and over the start that comes
// through at last.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "front_ends/windows_service/service_events.h"

namespace quorvane::win32_service {
namespace {

namespace fs = std::filesystem;

struct Entries final : EntrySink {
  void Information(const std::string& text) override { written.push_back("info: " + text); }
  void Error(const std::string& text) override { written.push_back("error: " + text); }
  std::vector<std::string> written;
};

class Runs : public testing::Test {
 protected:
  void SetUp() override { fs::remove(record_); }
  void TearDown() override { fs::remove(record_); }
  // One run of the service that ends in `failure`.
  void FailingRun(const std::string& failure) {
    ServiceEvents events(entries_);
    events.KeepRecordIn(record_);
    events.Failed(failure);
  }
  const fs::path record_ = fs::current_path() / ("events-test-" + std::to_string(GetCurrentProcessId()));
  Entries entries_;
};

TEST_F(Runs, RepeatedFailureIsWrittenAtOneTenAHundredTimes) {
  for (int run = 0; run < 100; ++run) FailingRun("Cannot load the port library");
  EXPECT_EQ(entries_.written,
            (std::vector<std::string>{
                "error: Cannot load the port library",
                "error: Cannot load the port library (the same failure 10 times in a row)",
                "error: Cannot load the port library (the same failure 100 times in a row)"}));
}

TEST_F(Runs, AnotherFailureIsWrittenAtOnceAndCountedAfresh) {
  FailingRun("A");
  FailingRun("A");
  FailingRun("B");
  for (int run = 0; run < 9; ++run) FailingRun("A");
  EXPECT_EQ(entries_.written, (std::vector<std::string>{"error: A", "error: B", "error: A"}));
}

TEST_F(Runs, StartThatComesThroughSaysWhatItEndsAndForgetsIt) {
  for (int run = 0; run < 3; ++run) FailingRun("no port");
  ServiceEvents events(entries_);
  events.KeepRecordIn(record_);
  events.Started("01-02-2024 03:04:05");
  events.Stopped();
  ASSERT_EQ(entries_.written.size(), 3u);
  EXPECT_EQ(entries_.written[1],
            "info: Started, answering on the parallel port; last restart: 01-02-2024 03:04:05; started again "
            "after 3 failures in a row, the last: no port");
  EXPECT_EQ(entries_.written[2], "info: Stopped");
  EXPECT_FALSE(fs::exists(record_));
  // The next failure is a first one again.
  FailingRun("no port");
  EXPECT_EQ(entries_.written.back(), "error: no port");
}

TEST_F(Runs, WithoutARecordEveryFailureIsWritten) {
  ServiceEvents events(entries_);
  events.Failed("cannot work in the data folder");
  events.Failed("cannot work in the data folder");
  EXPECT_EQ(entries_.written.size(), 2u);
}

TEST(FailureRecord, ReadsBackAndRefusesWhatItDidNotWrite) {
  const FailureRecord record{"text with: colons", 42};
  const auto read = ParseRecord(RecordText(record));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->text, record.text);
  EXPECT_EQ(read->times, 42u);
  for (const char* text :
       {"", "\n", "0\nx\n", "x\ny\n", "3\nno end", "3\n\n", "99999999999999999999999\nx\n"})
    EXPECT_FALSE(ParseRecord(text)) << text;
}

}  // namespace
}  // namespace quorvane::win32_service
