#include "core/startup/start_up.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/failure.h"
#include "fake_port.h"
#include "temp_folder.h"

namespace quorvane {
namespace {

using testing::Event, testing::FakeClock, testing::FakeDisplay, testing::FakePort;
using testing::ReadAll;
using testing::TempFolder;

// A clock whose local readings are the given ones in turn; reading it more
// often than that throws, so a test also learns how often it was read.
class SteppingClock final : public Clock {
 public:
  explicit SteppingClock(std::vector<LocalTime> readings) : readings_(std::move(readings)) {}
  LocalTime Local() const override { return readings_.at(next_++); }
  std::int64_t MonotonicNanoseconds() const override { return 0; }

 private:
  std::vector<LocalTime> readings_;
  mutable std::size_t next_ = 0;
};

// Start-up runs in a fresh working folder, where the restart log goes.
struct StartUpFixture : ::testing::Test {
  StartUpFixture() : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(folder.path());
  }
  ~StartUpFixture() override { std::filesystem::current_path(previous); }

  std::filesystem::path Log() const { return std::filesystem::current_path() / "Quorvane.log"; }

  TempFolder folder;
  std::filesystem::path previous;
  std::vector<Event> events;
  FakeClock clock;
  FakePort port{events};
  FakeDisplay display{events};
};

TEST_F(StartUpFixture, IdlesTheAnswerLineShowsTheStampThenLogsIt) {
  StartUp(port, display, clock);

  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Event::kWrite);
  EXPECT_EQ(events[0].port, 890);
  EXPECT_EQ(events[0].value, 1);
  EXPECT_EQ(events[1].kind, Event::kLastRestart);
  EXPECT_EQ(events[1].text, "12-08-2026 09:30:15");
  EXPECT_EQ(ReadAll(Log()), "12-08-2026 09:30:15\r\n");
}

TEST_F(StartUpFixture, MissingPortLibraryEndsStartUpBeforeTheLogIsTouched) {
  FakePort missing;
  missing.FailEverything();
  EXPECT_THROW(StartUp(missing, display, clock), Failure);
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(std::filesystem::exists(Log()));
}

TEST_F(StartUpFixture, LogThatCannotBeWrittenFailsAfterTheAnswerLineIsIdle) {
  std::filesystem::create_directory(Log());
  try {
    StartUp(port, display, clock);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    // The reason is the system's own words (the restart log tests check them).
    const std::string head = "cannot open the restart log " + Log().string() + ": ";
    EXPECT_EQ(std::string(failure.what()).substr(0, head.size()), head);
    EXPECT_GT(std::string(failure.what()).size(), head.size());
  }
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Event::kWrite);
  EXPECT_EQ(events[1].kind, Event::kLastRestart);
}

TEST_F(StartUpFixture, ShownAndLoggedStampsAreReadSeparatelyAndMayDiffer) {
  const struct {
    LocalTime shown, logged;
    const char* shownText;
    const char* loggedLine;
  } cases[] = {
      {{2026, 12, 8, 9, 30, 15, 999'999'000},
       {2026, 12, 8, 9, 30, 16, 0},
       "12-08-2026 09:30:15",
       "12-08-2026 09:30:16\r\n"},
      {{2026, 12, 31, 23, 59, 59, 999'000'000},
       {2027, 1, 1, 0, 0, 0, 1000},
       "12-31-2026 23:59:59",
       "01-01-2027 00:00:00\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shownText);
    std::filesystem::remove(Log());
    // Two readings only: one for the window, one for the whole log line.
    SteppingClock stepping({c.shown, c.logged});
    StartUp(port, display, stepping);
    EXPECT_EQ(display.lastRestart, c.shownText);
    EXPECT_EQ(ReadAll(Log()), c.loggedLine);
  }
}

}  // namespace
}  // namespace quorvane
