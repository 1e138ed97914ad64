// The command line: what each pattern and option gives, and that every bad
// argument is refused with a message that names it.

#include "bench/supervisor/supervisor_options.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bench/supervisor/run_summary.h"

namespace quorvane::supervisor {
namespace {

ParsedArguments Parse(std::vector<std::string> args) { return ParseArguments(args); }

TEST(SupervisorOptions, NoArgumentsMeanARequestEveryTenSecondsWithoutEnd) {
  const ParsedArguments parsed = Parse({});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.pattern, PatternKind::kEvery);
  EXPECT_EQ(parsed.options.patternSeconds, 10);
  EXPECT_EQ(parsed.options.RequestCount(), 0);
  EXPECT_FALSE(parsed.options.seconds);
  EXPECT_EQ(parsed.options.deadlineSeconds, 3);
  EXPECT_EQ(parsed.options.toleranceMs, 50);
  EXPECT_DOUBLE_EQ(parsed.options.LateSeconds(), 1.2);
}

TEST(SupervisorOptions, PatternsAndOptionsInAnyOrder) {
  ParsedArguments parsed = Parse({"--quiet", "pulse", "250", "--count=3", "--json", "r.json", "--vcd=w.vcd",
                                  "--file", "/tmp/port", "--seconds", "30", "--tolerance", "20", "--deadline",
                                  "4", "--late", "1.5", "--vcd-registers", "--wait-poll"});
  ASSERT_EQ(parsed.error, "");
  const Options& o = parsed.options;
  EXPECT_EQ(o.pattern, PatternKind::kPulse);
  EXPECT_EQ(o.pulseMs, 250);
  EXPECT_EQ(o.RequestCount(), 3);
  EXPECT_TRUE(o.quiet);
  EXPECT_TRUE(o.vcdRegisters);
  EXPECT_TRUE(o.waitPoll);
  EXPECT_EQ(o.jsonPath, "r.json");
  EXPECT_EQ(o.vcdPath, "w.vcd");
  EXPECT_EQ(o.statePath, "/tmp/port");
  EXPECT_EQ(o.seconds, 30);
  EXPECT_EQ(o.toleranceMs, 20);
  EXPECT_EQ(o.deadlineSeconds, 4);
  EXPECT_EQ(o.LateSeconds(), 1.5);
  EXPECT_EQ(DescribePattern(o), "pulse 250 ms");

  parsed = Parse({"hold", "12.5"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.pattern, PatternKind::kHold);
  EXPECT_EQ(DescribePattern(parsed.options), "hold 12.5 s");
  parsed = Parse({"--status", "0xEF", "idle", "5"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.pattern, PatternKind::kIdle);
  EXPECT_EQ(parsed.options.statusBits, 0xEF);
  EXPECT_EQ(Parse({"--status=239"}).options.statusBits, 0xEF);
  EXPECT_EQ(Parse({"once"}).options.RequestCount(), 1);
  EXPECT_EQ(Parse({"every", "2", "--count", "20"}).options.RequestCount(), 20);
  EXPECT_TRUE(Parse({"once", "--bogus", "--help"}).options.help) << "--help wins over other faults";
}

TEST(SupervisorOptions, BadArgumentsAreRefusedByName) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"twice"}, "unknown pattern 'twice'"},
      {{"every"}, "every needs a number of seconds"},
      {{"every", "soon"}, "'soon'"},
      {{"every", "0"}, "every: not a number of seconds"},
      {{"pulse", "1000"}, "from 1 to 900 ms"},
      {{"pulse", "0"}, "from 1 to 900 ms"},
      {{"once", "5"}, "unexpected argument '5'"},
      {{"--verbose"}, "not expected: --verbose"},
      {{"--seconds"}, "--seconds: 1 required S missing"},
      {{"--seconds", "-1"}, "--seconds: not a number of seconds above 0: '-1'"},
      {{"--seconds", "inf"}, "'inf'"},
      {{"--deadline", "0"}, "--deadline"},
      {{"--tolerance", "600"}, "--tolerance"},
      {{"--count", "1.5"}, "not a whole number"},
      {{"--count", "0"}, "--count"},
      {{"hold", "5", "--count", "2"}, "--count does not apply to hold"},
      {{"idle"}, "idle needs a number of seconds"},
      {{"--status", "256"}, "--status: not a byte"},
      {{"--status", "-1"}, "--status: not a byte"},
      {{"--status", "0xZZ"}, "--status: not a byte"},
      {{"--late", "4"}, "--late (4 s) must not exceed --deadline (3 s)"},
      {{"--quiet=yes"}, "quiet was given a disallowed flag override"},
      {{"--vcd="}, "--vcd: 1 required FILE missing"},
  };
  for (const auto& [args, message] : cases) {
    const ParsedArguments parsed = Parse(args);
    EXPECT_NE(parsed.error.find(message), std::string::npos)
        << ::testing::PrintToString(args) << " gave: '" << parsed.error << "'";
  }
}

TEST(RunSummary, NamesEveryCauseOfFailureAndGivesTheSameFiguresAsJson) {
  RunSummary summary;
  summary.pattern = "every 5 s";
  summary.tally.requests = 4;
  summary.tally.answers = 3;
  summary.tally.ok = 2;
  summary.tally.late = 1;
  summary.tally.missing = 1;
  summary.tally.spacingErrorsNs = {1'500, 250'000, 3'000};
  summary.tally.latenciesNs = {900'000'000, 100'000'000, 400'000'000, 1'300'000'000};

  const std::string text = SummaryText(summary);
  EXPECT_NE(text.find("missing            1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("spacing error max  250 us (3 steps)"), std::string::npos) << text;
  EXPECT_NE(text.find("latency            min 100.000 ms, median 400.000 ms, max 1300.000 ms (4 requests)"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("result             FAIL: 1 missing, 1 late\n"), std::string::npos) << text;
  EXPECT_EQ(summary.ExitCode(), 1);

  const auto json = nlohmann::json::parse(SummaryJson(summary));
  EXPECT_EQ(json["pattern"], "every 5 s");
  EXPECT_EQ(json["missing"], 1);
  EXPECT_EQ(json["spacing_error_us"],
            nlohmann::json::parse(R"({"max": 250.0, "count": 3, "values": [1.5, 250.0, 3.0]})"));
  EXPECT_EQ(json["latency_us"]["median"], 400000.0);
  EXPECT_EQ(json["result"], "fail");
  EXPECT_EQ(json["exit_code"], 1);

  summary.tally = Tally{};
  EXPECT_NE(SummaryText(summary).find("result             PASS\n"), std::string::npos);
  EXPECT_EQ(summary.ExitCode(), 0);
}

}  // namespace
}  // namespace quorvane::supervisor
