// The benchmark's report from made-up results: each figure beside the
// right floor, with the ratio and the verdict the floor gives.
#include "bench/benchmark/report.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace quorvane::bench {
namespace {

std::optional<Row> Find(const std::vector<Row>& rows, const std::string& start) {
  for (const Row& row : rows)
    if (row.measure.rfind(start, 0) == 0) return row;
  return std::nullopt;
}

// Ticks of 1000 ms but one, off by `worstUs`.
std::vector<double> Ticks(double worstUs) {
  std::vector<double> ticks(9, 1000.0);
  ticks.push_back(1000.0 + worstUs / 1000.0);
  return ticks;
}

Results WineRun() {
  Results r;
  r.wine = true;
  r.tickMs = Ticks(3000);             // the program: 3 ms late once
  r.floorWindowTickMs = Ticks(2000);  // the minimal Windows program: 2 ms
  r.floorTickMs = Ticks(100);         // the bare timerfd loop: 0.1 ms
  r.idleScheduledPercent = 0.12;
  r.floorIdleScheduledPercent = 0.10;
  return r;
}

TEST(BenchReport, UnderWineThePollTimerStandsBesideTheMinimalWindowsProgramNotTheTimerfdLoop) {
  const std::vector<Row> rows = Table(WineRun());
  const auto deviation = Find(rows, "tick period: deviation");
  ASSERT_TRUE(deviation);
  EXPECT_EQ(deviation->value, "3000.0 / 3000.0 us");
  EXPECT_EQ(deviation->floor, "2000.0 / 2000.0 us");
  EXPECT_EQ(deviation->ratio, "1.5 x");
  EXPECT_NE(deviation->measure.find("minimal Windows program"), std::string::npos) << deviation->measure;
  EXPECT_NE(deviation->measure.find("timerfd loop is no fair floor under Wine"), std::string::npos);
  // The timerfd loop is still shown, as a figure of its own.
  const auto timerfd = Find(rows, "bare timerfd loop");
  ASSERT_TRUE(timerfd);
  EXPECT_EQ(timerfd->value, "100.0 / 100.0 us");
  EXPECT_EQ(timerfd->ratio, "");
  EXPECT_EQ(Find(rows, "tick period: mean")->floor, "1000.2000 ms");
}

TEST(BenchReport, NativelyThePollTimerStandsBesideTheTimerfdLoop) {
  Results r = WineRun();
  r.wine = false;
  r.floorWindowTickMs.clear();  // the Qt window reads no port
  const std::vector<Row> rows = Table(r);
  const auto deviation = Find(rows, "tick period: deviation");
  ASSERT_TRUE(deviation);
  EXPECT_EQ(deviation->floor, "100.0 / 100.0 us");
  EXPECT_EQ(deviation->ratio, "30.0 x");
  EXPECT_EQ(deviation->measure, "tick period: deviation from 1000 ms, p99 / max");
  EXPECT_FALSE(Find(rows, "bare timerfd loop"));
}

TEST(BenchReport, IdleCpuHoldsUpToOnePointThreeTimesItsFloorAndIsLeftOutWithoutOne) {
  Results r = WineRun();
  auto idle = Find(Table(r), "CPU idle beside");
  ASSERT_TRUE(idle);
  EXPECT_NE(idle->measure.find("minimal Windows program"), std::string::npos) << idle->measure;
  EXPECT_EQ(idle->value, "0.1200 % of a core");
  EXPECT_EQ(idle->floor, "0.1000 %");
  EXPECT_EQ(idle->ratio, "1.2 x");
  EXPECT_EQ(idle->holds, "yes");

  r.idleScheduledPercent = 0.14;
  EXPECT_EQ(Find(Table(r), "CPU idle beside")->holds, "NO");
  // A floor that took nothing measurable gives no ratio and no pass.
  r.floorIdleScheduledPercent = 0;
  EXPECT_EQ(Find(Table(r), "CPU idle beside")->ratio, "");
  EXPECT_EQ(Find(Table(r), "CPU idle beside")->holds, "NO");
  r.floorIdleScheduledPercent = -1;  // not run
  EXPECT_FALSE(Find(Table(r), "CPU idle beside"));

  // Wine's shared processes are shown on their own, in no ratio, when measured.
  EXPECT_FALSE(Find(Table(r), "CPU idle of Wine's shared processes"));
  r.wineSharedIdleScheduledPercent = 0.05;
  const auto shared = Find(Table(r), "CPU idle of Wine's shared processes");
  ASSERT_TRUE(shared);
  EXPECT_EQ(shared->value, "0.0500 % of a core");
  EXPECT_EQ(shared->ratio, "");
}

// Twenty idle answers whose steps are `errorUs` off, beside a sleep floor.
Results Answered(int answers, double errorUs) {
  Results r;
  r.verdicts.answers = answers;
  for (auto& step : r.stepErrorUs) step.assign(static_cast<std::size_t>(answers), errorUs);
  r.sleepFloorLatenessUs = {60.0, 80.0, 400.0};
  return r;
}

TEST(BenchReport, StepErrorIsJudgedOnlyFromEnoughAnswersOnAQuietMachine) {
  const auto row = [](const Results& r) { return *Find(Table(r), "answer step error: max"); };
  EXPECT_EQ(row(Answered(25, 1.5)).holds, "yes");
  EXPECT_EQ(row(Answered(25, 1.5)).floor, "400.0 / 80.0 us (sleep alone: max / median)");
  EXPECT_EQ(row(Answered(25, 2.5)).holds, "NO") << "a median over 2 us";
  // Seven answers that meet the target say too few, not NO or yes.
  EXPECT_EQ(row(Answered(7, 2.9)).holds, "too few samples (7 of 20)");
  // Another's work beside the run: a figure that meets its target is not
  // called held, one that misses it still says so.
  Results busy = Answered(25, 1.5);
  busy.loadQuietEnd = 2.5;
  EXPECT_EQ(row(busy).holds, "busy: not judged");
  busy.loadBefore = 3.0;
  for (auto& step : busy.stepErrorUs) step.assign(25, 50.0);
  EXPECT_EQ(row(busy).holds, "NO (busy)");
  EXPECT_TRUE(Busy(busy));
  EXPECT_FALSE(Busy(Answered(25, 1.5)));
}

TEST(BenchReport, HeldCpuAndTheServiceUnderLoadStandBesideTheirFloors) {
  Results r = Answered(25, 1.0);
  r.heldCpuPercent = 0.14;
  r.heldFloorCpuPercent = 0.004;
  const auto held = Find(Table(r), "CPU during a held request");
  ASSERT_TRUE(held);
  EXPECT_EQ(held->floor, "0.004 %");
  EXPECT_EQ(held->ratio, "35.0 x");
  EXPECT_EQ(held->holds, "yes");
  r.heldCpuPercent = 93.8;
  EXPECT_EQ(Find(Table(r), "CPU during a held request")->holds, "NO");

  EXPECT_FALSE(Find(Table(r), "under load: step error max")) << "no service run, no row";
  r.serviceLoadRun = true;
  r.serviceClass = "real-time";
  r.serviceLoadAnswers = 10;
  r.serviceLoadStepErrorUs = {-3.0, 150.0, 20.0};
  r.serviceLoadFloorLatenessUs = {50.0, 250.0};
  const auto service = Find(Table(r), "under load: step error max");
  ASSERT_TRUE(service);
  EXPECT_NE(service->measure.find("class: real-time"), std::string::npos) << service->measure;
  EXPECT_EQ(service->value, "150.0 us");
  EXPECT_EQ(service->holds, "yes");
  r.serviceLoadStepErrorUs.push_back(-4000.0);  // one step a scheduler tick early or late
  EXPECT_EQ(Find(Table(r), "under load: step error max")->holds, "NO");
  r.serviceLoadAnswers = 3;
  EXPECT_EQ(Find(Table(r), "under load: step error max")->holds, "too few samples (3 of 5)");
}

TEST(BenchReport, TheJsonKeepsTheMinimalProgramsTicksAndSaysWine) {
  const Results r = WineRun();
  const auto path =
      std::filesystem::temp_directory_path() / ("bench-report-" + std::to_string(::getpid()) + ".json");
  WriteJson(true, r, Table(r), path.string());
  std::ifstream in(path);
  const auto json = nlohmann::json::parse(in);
  std::filesystem::remove(path);
  EXPECT_EQ(json["wine"], true);
  const auto& ticks = json["samples"]["floor_window_tick_interval_ms"];
  ASSERT_FALSE(ticks.empty());
  EXPECT_EQ(ticks.front(), 1000.0);
  EXPECT_EQ(ticks.back(), 1002.0);
  EXPECT_EQ(json["floor_window_idle_scheduled_cpu_percent"], 0.1);
}

}  // namespace
}  // namespace quorvane::bench
