// QEMU's register trace of a guest run, written here as QEMU writes it, read
// and judged: what the trace judge must tell apart from the driver's own
// writes, and the faults of an answer it must catch.

#include "bench/supervisor/qemu_port_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

namespace quorvane::supervisor {
namespace {

constexpr std::uint8_t kStamp = 0xA1;

// Trace lines at milliseconds after a time of day, as -msg timestamp=on logs them.
class Trace {
 public:
  Trace& Read(double ms, int offset, int value) { return Line(ms, "read", offset, value); }
  Trace& Write(double ms, int offset, int value) { return Line(ms, "write", offset, value); }
  Trace& Stamp(double ms, int value = kStamp) { return Claim(ms - 0.2).Write(ms, 0, value); }
  // ppdev's claim: the lines at rest, with the interrupt enabled.
  Trace& Claim(double ms) { return Write(ms, 2, 0x1C).Write(ms + 0.1, 2, 0x1C); }
  // The program's start: its claim, then the write of the idle level.
  Trace& Start(double ms) { return Claim(ms).Write(ms + 1, 2, 0x11); }
  // One poll that sees the request (QEMU's status byte), then an answer.
  Trace& Answer(double ms, int writes = 4, double step = 1000, int bitsOn = 0x10) {
    Read(ms, 1, 0xD8);
    const int values[4] = {0, 1, 0, 1};
    for (int i = 0; i < writes; ++i) Write(ms + 1 + i * step, 2, bitsOn | values[i]);
    return *this;
  }
  std::string Text() const { return text_.str(); }
  std::vector<TraceRecord> Records() const {
    std::istringstream in(Text());
    return ReadTrace(in);
  }

 private:
  Trace& Line(double ms, const char* kind, int offset, int value) {
    const long long us = 1796824250'000000LL + static_cast<long long>(ms * 1000);
    char line[160];
    std::snprintf(line, sizeof line, "708@%lld.%06lld:parallel_ioport_%s %s [SW] addr 0x%02x val 0x%02x\n",
                  us / 1000000, us % 1000000, kind, kind, offset, value);
    text_ << line;
    return *this;
  }
  std::ostringstream text_;
};

CaseJudgement Judge(const Trace& trace, int answers = 3) {
  const auto records = CaseRecords(trace.Records(), kStamp);
  EXPECT_TRUE(records.has_value());
  return JudgeCase(records.value_or(std::vector<TraceRecord>{}), CheckerSettings{}, answers);
}

std::string Faults(const CaseJudgement& judgement) {
  std::string all;
  for (const std::string& fault : judgement.faults) all += fault + "\n";
  return all;
}

TEST(QemuPortTraceTest, ReadsQemusLinesAndNothingElse) {
  const auto record =
      ParseTraceLine("708@1796824254.929471:parallel_ioport_write write [SW] addr 0x02 val 0x10");
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->timeNs, 1796824254'929471'000ULL);
  EXPECT_TRUE(record->write);
  EXPECT_EQ(record->offset, 2);
  EXPECT_EQ(record->value, 0x10);
  const auto read = ParseTraceLine("9@1796824254.000001:parallel_ioport_read read [HW] addr 0x01 val 0xd8");
  ASSERT_TRUE(read.has_value());
  EXPECT_FALSE(read->write);
  EXPECT_EQ(read->timeNs % 1'000'000'000, 1'000U);

  EXPECT_FALSE(ParseTraceLine("parallel_ioport_write write [SW] addr 0x02 val 0x10"));  // no time stamp
  EXPECT_FALSE(ParseTraceLine("708@1796824254.929471:serial_ioport_write write addr 0x02 val 0x10"));
  EXPECT_FALSE(ParseTraceLine(""));
}

TEST(QemuPortTraceTest, ACaseRunsFromItsStampToTheNextDataWrite) {
  Trace trace;
  trace.Write(0, 0, 0xAA).Read(1, 1, 0xD8);  // the driver's probe at load
  trace.Stamp(100).Start(200).Answer(1200);
  trace.Stamp(9000, 0xA2).Start(9100);
  const auto records = CaseRecords(trace.Records(), kStamp);
  ASSERT_TRUE(records.has_value());
  EXPECT_EQ(records->front().value, kStamp);
  EXPECT_EQ(records->size(), 1U + 3 + 5 + 2);  // stamp, start, answer, next stamp's claim
  EXPECT_FALSE(CaseRecords(trace.Records(), 0xA3).has_value());
}

TEST(QemuPortTraceTest, AHeldRequestAnsweredThreeTimesPasses) {
  Trace trace;
  trace.Stamp(0).Start(800).Answer(1700).Answer(4750).Answer(7770);
  trace.Answer(10800, 3);    // cut short by the guest's stop
  trace.Stamp(14000, 0xA2);  // the next case, under a claim of its own
  const CaseJudgement judgement = Judge(trace);
  EXPECT_TRUE(judgement.faults.empty()) << Faults(judgement);
  EXPECT_EQ(judgement.tally.ok, 3);
  EXPECT_EQ(judgement.tally.unfinished, 1);
  EXPECT_EQ(judgement.tally.spacingErrorsNs.size(), 3U * 3 + 2);
}

TEST(QemuPortTraceTest, TheDriversClaimIsSplitOffAndItsInterruptBitIgnored) {
  Trace trace;
  trace.Stamp(0).Start(800).Answer(1700);
  const auto run = SplitProgramRun(*CaseRecords(trace.Records(), kStamp));
  EXPECT_EQ(run.claimWrites.size(), 2U);
  ASSERT_EQ(run.accesses.size(), 6U);
  EXPECT_EQ(run.accesses[0].port, 890);
  EXPECT_EQ(run.accesses[0].value, 1);  // 0x11: bit 4 is ppdev's interrupt enable
  EXPECT_EQ(run.rawValues[0], 0x11);
  EXPECT_EQ(run.accesses[1].port, 889);
  EXPECT_EQ(run.accesses[1].value, 0xD8);  // the status byte as read
}

TEST(QemuPortTraceTest, ControlBitsOneToThreeSetFail) {
  Trace trace;
  trace.Stamp(0).Start(800).Answer(1700).Answer(7770).Answer(10800);
  // An answer whose second write also raises Auto Feed (bit 1).
  trace.Read(4750, 1, 0xD8)
      .Write(4751, 2, 0x10)
      .Write(5751, 2, 0x13)
      .Write(6751, 2, 0x10)
      .Write(7751, 2, 0x11);
  const auto records = CaseRecords(trace.Records(), kStamp);
  ASSERT_TRUE(records.has_value());
  std::vector<TraceRecord> inOrder = *records;
  std::stable_sort(inOrder.begin(), inOrder.end(),
                   [](const TraceRecord& a, const TraceRecord& b) { return a.timeNs < b.timeNs; });
  const CaseJudgement judgement = JudgeCase(inOrder, CheckerSettings{}, 3);
  EXPECT_GE(judgement.tally.malformed, 1) << Faults(judgement);
  EXPECT_FALSE(judgement.faults.empty());

  // An answer written whole with bit 2 (Init) raised is no answer at all.
  Trace init;
  init.Stamp(0).Start(800).Answer(1700).Answer(4750, 4, 1000, 0x14).Answer(7770).Answer(10800);
  const CaseJudgement stray = Judge(init);
  EXPECT_GT(stray.tally.strayWrites, 0) << Faults(stray);
  EXPECT_FALSE(stray.faults.empty());
}

TEST(QemuPortTraceTest, StepsAreJudgedWithTheSupervisorsTolerance) {
  Trace within;
  within.Stamp(0).Start(800).Answer(1700, 4, 1045).Answer(4900, 4, 955).Answer(7800);
  const CaseJudgement ok = Judge(within);
  EXPECT_TRUE(ok.faults.empty()) << Faults(ok);

  Trace beyond;
  beyond.Stamp(0).Start(800).Answer(1700).Answer(4750, 4, 1060).Answer(7950).Answer(11000);
  const CaseJudgement late = Judge(beyond);
  EXPECT_GE(late.tally.malformed, 1) << Faults(late);
  EXPECT_FALSE(late.faults.empty());
}

TEST(QemuPortTraceTest, TooFewAnswersFail) {
  Trace trace;
  trace.Stamp(0).Start(800).Answer(1700).Answer(4750);
  const CaseJudgement judgement = Judge(trace);
  EXPECT_EQ(judgement.tally.ok, 2);
  EXPECT_NE(Faults(judgement).find("at least 3"), std::string::npos) << Faults(judgement);
}

TEST(QemuPortTraceTest, TheFirstAccessMustBeTheStartUpWrite) {
  Trace readFirst;
  readFirst.Stamp(0).Claim(800).Read(801, 1, 0xD8).Write(802, 2, 0x11).Answer(1700).Answer(4750).Answer(7770);
  EXPECT_NE(Faults(Judge(readFirst)).find("start-up write"), std::string::npos);

  Trace nothing;
  nothing.Stamp(0).Claim(800);
  EXPECT_NE(Faults(Judge(nothing)).find("no access"), std::string::npos);
}

// The far end drops the request as soon as the answer begins, as the
// supervisor does; the status reads see it raised once, then low.
constexpr int kRaised = 0xD8, kLow = 0xC8;

TEST(QemuPortTraceTest, ARequestDroppedDuringItsAnswerIsNotHeldOverToTheNext) {
  Trace trace;
  trace.Stamp(0).Start(800).Read(1700, 1, kLow).Read(2700, 1, kLow);
  // Three requests, each seen by one poll; the poll after each answer sees
  // the line low, the next one the next request.
  for (const double ms : {3700.0, 8700.0, 13700.0}) trace.Answer(ms).Read(ms + 4000, 1, kLow);
  trace.Read(18700, 1, kLow).Read(19700, 1, kLow).Read(20700, 1, kLow);
  const CaseJudgement judgement = Judge(trace);
  EXPECT_TRUE(judgement.faults.empty()) << Faults(judgement);
  EXPECT_EQ(judgement.tally.ok, 3);
  EXPECT_EQ(judgement.tally.late + judgement.tally.missing, 0);
}

TEST(QemuPortTraceTest, ARequestAPollSawIsStillMissingWithoutAnAnswer) {
  // Seen raised by three polls, never answered.
  Trace ignored;
  ignored.Stamp(0).Start(800).Read(1700, 1, kLow).Read(2700, 1, kRaised).Read(3700, 1, kRaised);
  ignored.Read(4700, 1, kRaised).Read(5700, 1, kLow).Read(6700, 1, kLow).Read(7700, 1, kLow);
  EXPECT_EQ(Judge(ignored, 0).tally.missing, 1) << Faults(Judge(ignored, 0));

  // Still raised at the first poll after an answer, and not answered again.
  Trace heldOver;
  heldOver.Stamp(0).Start(800).Answer(1700).Read(5700, 1, kRaised).Read(6700, 1, kRaised);
  heldOver.Read(7700, 1, kLow).Read(8700, 1, kLow).Read(9700, 1, kLow);
  EXPECT_EQ(Judge(heldOver, 1).tally.missing, 1) << Faults(Judge(heldOver, 1));
}

}  // namespace
}  // namespace quorvane::supervisor
