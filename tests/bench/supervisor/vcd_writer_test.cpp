// The VCD file as a viewer reads it: a header whose every signal is
// declared before $enddefinitions, the values at time 0 in $dumpvars, and
// time stamps that only rise, each followed by the values that changed.

#include "bench/supervisor/vcd_writer.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace quorvane::supervisor {
namespace {

constexpr std::uint64_t kStartNs = 42'000'000'000;
constexpr std::uint64_t kUs = 1000;

// The parts of a VCD file that a viewer relies on, checked while reading.
struct ParsedVcd {
  std::string timescale;
  std::map<std::string, std::pair<int, std::string>> signals;  // code -> width, name
  std::map<std::string, std::string> initial;                  // code -> value in $dumpvars
  std::vector<std::pair<std::uint64_t, std::string>> changes;  // time, "value code"
  std::vector<std::uint64_t> times;
  std::vector<std::string> problems;
};

ParsedVcd Parse(const std::string& text) {
  ParsedVcd vcd;
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  bool definitions = true, dumpvars = false;
  std::uint64_t now = 0;
  bool sawTime = false;
  const auto value = [&](const std::string& v, const std::string& code) {
    if (!vcd.signals.count(code)) vcd.problems.push_back("value for undeclared code " + code);
    if (dumpvars)
      vcd.initial[code] = v;
    else
      vcd.changes.push_back({now, v + " " + code});
  };
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (definitions) {
      if (w == "$timescale") vcd.timescale = words[i + 1] + " " + words[i + 2];
      if (w == "$var") {
        if (words[i + 1] != "wire") vcd.problems.push_back("var kind " + words[i + 1]);
        vcd.signals[words[i + 3]] = {std::stoi(words[i + 2]), words[i + 4]};
      }
      if (w == "$enddefinitions") definitions = false;
      // Skip to the $end of each section.
      if (w[0] == '$' && w != "$end") {
        while (i < words.size() && words[i] != "$end") ++i;
      }
      continue;
    }
    if (w == "$dumpvars") {
      if (!sawTime) vcd.problems.push_back("$dumpvars before the first time stamp");
      dumpvars = true;
    } else if (w == "$end") {
      dumpvars = false;
    } else if (w[0] == '#') {
      const std::uint64_t t = std::stoull(w.substr(1));
      if (sawTime && t <= now) vcd.problems.push_back("time " + w + " does not rise");
      now = t;
      sawTime = true;
      vcd.times.push_back(t);
    } else if (w[0] == 'b') {
      value(w.substr(1), words[++i]);
    } else if (w[0] == '0' || w[0] == '1') {
      value(w.substr(0, 1), w.substr(1));
    } else {
      vcd.problems.push_back("unexpected " + w);
    }
  }
  if (definitions) vcd.problems.push_back("no $enddefinitions");
  return vcd;
}

TEST(VcdWriter, DeclaresBothLinesThenWritesOnlyChangesUnderRisingTimeStampsInMicroseconds) {
  std::ostringstream out;
  VcdWriter writer(out, kStartNs, false);
  writer.Begin("today", "a comment", {false, true, 0, 1});
  writer.Change(kStartNs + 100 * kUs, VcdSignal::kRequest, 1);
  writer.Change(kStartNs + 100 * kUs + 999, VcdSignal::kRequest, 1);  // no change: nothing written
  writer.Change(kStartNs + 400'000 * kUs + 500, VcdSignal::kAnswer, 0);
  writer.Change(kStartNs + 400'000 * kUs + 700, VcdSignal::kRequest, 0);  // same microsecond: one stamp
  writer.Change(kStartNs + 1'400'000 * kUs, VcdSignal::kAnswer, 1);
  writer.Change(kStartNs + 1'399'990 * kUs, VcdSignal::kRequest,
                1);  // a timestamp from the other source, a bit behind
  writer.Change(kStartNs + 2'000'000 * kUs, VcdSignal::kStatus, 0x10);  // bytes not asked for: left out
  writer.End(kStartNs + 3'000'000 * kUs);
  const ParsedVcd vcd = Parse(out.str());

  EXPECT_TRUE(vcd.problems.empty()) << ::testing::PrintToString(vcd.problems) << "\n" << out.str();
  EXPECT_EQ(out.str().rfind("$date", 0), 0u);
  EXPECT_EQ(vcd.timescale, "1 us");
  ASSERT_EQ(vcd.signals.size(), 2u);
  EXPECT_EQ(vcd.signals.at("r"), (std::pair<int, std::string>{1, "request"}));
  EXPECT_EQ(vcd.signals.at("a"), (std::pair<int, std::string>{1, "answer"}));
  EXPECT_EQ(vcd.initial, (std::map<std::string, std::string>{{"r", "0"}, {"a", "1"}}));
  const std::vector<std::pair<std::uint64_t, std::string>> expected{
      {100, "1 r"}, {400'000, "0 a"}, {400'000, "0 r"}, {1'400'000, "1 a"}, {1'400'000, "1 r"}};
  EXPECT_EQ(vcd.changes, expected);
  // A last stamp marks the end of the run.
  EXPECT_EQ(vcd.times, (std::vector<std::uint64_t>{0, 100, 400'000, 1'400'000, 3'000'000}));
}

TEST(VcdWriter, RegistersAreEightBitVectors) {
  std::ostringstream out;
  VcdWriter writer(out, kStartNs, true);
  writer.Begin("today", "", {false, true, 0xEF, 0x01});
  writer.Change(kStartNs + 10 * kUs, VcdSignal::kStatus, 0xFF);
  writer.Change(kStartNs + 20 * kUs, VcdSignal::kControl, 0x100);  // only the low byte reaches the port
  const ParsedVcd vcd = Parse(out.str());

  EXPECT_TRUE(vcd.problems.empty()) << ::testing::PrintToString(vcd.problems) << "\n" << out.str();
  EXPECT_EQ(vcd.signals.at("s").first, 8);
  EXPECT_EQ(vcd.signals.at("c").first, 8);
  EXPECT_EQ(vcd.initial.at("s"), "11101111");
  EXPECT_EQ(vcd.initial.at("c"), "00000001");
  const std::vector<std::pair<std::uint64_t, std::string>> expected{{10, "11111111 s"}, {20, "00000000 c"}};
  EXPECT_EQ(vcd.changes, expected);
}

}  // namespace
}  // namespace quorvane::supervisor
