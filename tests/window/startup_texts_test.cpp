// The window right after the start-up work, as the program's entry runs it.
#include <QLabel>
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes.h"
#include "startup/form_load.h"
#include "temp_folder.h"
#include "window/qt/form1.h"
#include "window_test_support.h"

namespace quorvane {
namespace {

using testing::FakeClock;
using testing::ScriptedPort;

// Runs the test inside a fresh working folder, where the restart log goes.
struct InFreshFolder : ::testing::Test {
  InFreshFolder() { std::filesystem::current_path(folder.path()); }
  ~InFreshFolder() override { std::filesystem::current_path(previous); }
  std::filesystem::path previous = std::filesystem::current_path();
  testing::TempFolder folder;
};

TEST_F(InFreshFolder, AfterLoadTheWindowShowsActiveTheStartStampAndNoRequest) {
  FakeClock clock;
  clock.local = {2026, 3, 4, 5, 6, 7, 0};
  ScriptedPort port;
  Form1 form(port, clock);
  Form_Load(form.Variables(), port, form, clock);

  EXPECT_EQ(form.Label1->text(), "Active...");
  EXPECT_EQ(form.Label4->text(), "03-04-2026 05:06:07");
  EXPECT_EQ(form.Label4->text().size(), 19);
  EXPECT_EQ(form.Label5->text(), "");
  EXPECT_EQ(form.Variables().PortBase, 888);
  EXPECT_EQ(port.writes, (std::vector<std::int16_t>{1}));
  EXPECT_TRUE(std::filesystem::exists(folder / "Quorvane.log"));
  // Loading leaves the window hidden; showing it is the entry's next step.
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace quorvane
