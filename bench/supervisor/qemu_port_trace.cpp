#include "bench/supervisor/qemu_port_trace.h"

#include <algorithm>
#include <cstring>

#include <fmt/format.h>

#include "port/port_map.h"

namespace quorvane::supervisor {

namespace {

// The control register's bits 0 to 3 are the port's four control lines, the
// ones the program writes; bit 4 (interrupt enable) and bit 5 (direction)
// belong to the driver: ppdev sets bit 4 when it claims the port, and keeps
// it through every write of the lines.
constexpr std::uint8_t kControlLines = 0x0F;
// A claim puts the lines at their rest state, Init and Select In raised
// (bits 2 and 3); the program holds both at 0, so it never writes this.
constexpr std::uint8_t kClaimRestLines = 0x0C;

}  // namespace

std::optional<TraceRecord> ParseTraceLine(const std::string& line) {
  unsigned long long seconds = 0, microseconds = 0;
  char kind[8] = {};
  unsigned offset = 0, value = 0;
  // QEMU prints the microseconds with six digits.
  if (std::sscanf(line.c_str(), "%*[0-9]@%llu.%6llu:parallel_ioport_%5[a-z] %*s [%*[^]]] addr 0x%x val 0x%x",
                  &seconds, &microseconds, kind, &offset, &value) != 5)
    return std::nullopt;
  const bool write = std::strcmp(kind, "write") == 0;
  if (!write && std::strcmp(kind, "read") != 0) return std::nullopt;
  if (offset > 7 || value > 0xFF) return std::nullopt;
  return TraceRecord{(seconds * 1'000'000 + microseconds) * 1'000, write, static_cast<int>(offset),
                     static_cast<std::uint8_t>(value)};
}

std::vector<TraceRecord> ReadTrace(std::istream& in) {
  std::vector<TraceRecord> records;
  std::string line;
  while (std::getline(in, line)) {
    if (auto record = ParseTraceLine(line)) records.push_back(*record);
  }
  return records;
}

std::optional<std::vector<TraceRecord>> CaseRecords(const std::vector<TraceRecord>& trace,
                                                    std::uint8_t stamp) {
  const auto isDataWrite = [](const TraceRecord& r) { return r.write && r.offset == 0; };
  const auto begin = std::find_if(trace.begin(), trace.end(),
                                  [&](const TraceRecord& r) { return isDataWrite(r) && r.value == stamp; });
  if (begin == trace.end()) return std::nullopt;
  const auto end = std::find_if(begin + 1, trace.end(), isDataWrite);
  return std::vector<TraceRecord>(begin, end);
}

namespace {
bool IsClaimWrite(const TraceRecord& record) {
  return record.write && record.offset == port_map::kControlOffset &&
         (record.value & kControlLines) == kClaimRestLines;
}
}  // namespace

ProgramRun SplitProgramRun(const std::vector<TraceRecord>& caseRecords) {
  ProgramRun run;
  // Claims after the program's last access are those of whatever comes next
  // (the next case's stamp is written under a claim of its own).
  const auto last = std::find_if(caseRecords.rbegin(), caseRecords.rend(), [](const TraceRecord& record) {
                      return record.offset != 0 && !IsClaimWrite(record);
                    }).base();
  bool programStarted = false;
  std::uint64_t sequence = 0;
  for (auto it = caseRecords.begin(); it != last; ++it) {
    const TraceRecord& record = *it;
    if (record.offset == 0) continue;  // the case's stamp
    const bool controlWrite = record.write && record.offset == port_map::kControlOffset;
    if (!programStarted && IsClaimWrite(record)) {
      run.claimWrites.push_back(record);
      continue;
    }
    programStarted = true;
    const std::uint8_t value = controlWrite ? record.value & kControlLines : record.value;
    run.rawValues.push_back(record.value);
    run.accesses.push_back({sequence++, record.timeNs, record.write,
                            static_cast<std::int16_t>(port_map::kBase + record.offset), value});
  }
  return run;
}

CaseJudgement JudgeCase(const std::vector<TraceRecord>& caseRecords, const CheckerSettings& baseSettings,
                        int minimumAnswers) {
  CaseJudgement judgement;
  if (caseRecords.empty()) {
    judgement.faults.push_back("the case has no records");
    return judgement;
  }
  const std::uint64_t originNs = caseRecords.front().timeNs;
  const auto since = [&](std::uint64_t timeNs) { return (static_cast<double>(timeNs) - originNs) / 1e9; };

  const ProgramRun run = SplitProgramRun(caseRecords);
  for (const TraceRecord& claim : run.claimWrites)
    judgement.timeline.push_back(fmt::format("{:9.3f} s  W 890 0x{:02X}  the driver's claim (lines at rest)",
                                             since(claim.timeNs), unsigned{claim.value}));
  if (run.accesses.empty()) {
    judgement.faults.push_back("the program made no access to the port");
    return judgement;
  }
  const Access& first = run.accesses.front();
  if (!first.write || first.port != port_map::kControl || first.value != port_map::kAnswerIdle) {
    judgement.faults.push_back(fmt::format(
        "the first access, at {:.3f} s, was not the start-up write of 1 to 890", since(first.timeNs)));
  }

  CheckerSettings settings = baseSettings;
  settings.countFromNs = originNs;
  AnswerChecker checker(settings);
  const auto takeFindings = [&] {
    for (const Finding& finding : checker.TakeFindings())
      judgement.timeline.push_back(fmt::format("{:9.3f} s  ", since(finding.timeNs)) +
                                   VerdictName(finding.verdict) + " " + finding.text);
  };

  // The request line as the status reads show it, raised from the start-up
  // write on when the first read finds it so, and only until the answer a
  // read of it starts: during an answer neither the program nor the trace
  // sees the line. Held over, a line the far end dropped meanwhile would
  // open a request at the answer's end that no poll ever saw, and the next
  // answer would go to it, late, leaving its own request missing.
  const auto firstRead = std::find_if(run.accesses.begin(), run.accesses.end(), [](const Access& a) {
    return !a.write && a.port == port_map::kStatus;
  });
  bool lineUp = firstRead != run.accesses.end() && (firstRead->value & port_map::kRequestMask);
  if (lineUp) checker.LineRaised(first.timeNs, true);

  for (std::size_t i = 0; i < run.accesses.size(); ++i) {
    const Access& access = run.accesses[i];
    checker.Advance(access.timeNs);
    takeFindings();
    if (!access.write && access.port == port_map::kStatus) {
      const bool raised = access.value & port_map::kRequestMask;
      if (raised && !lineUp) checker.LineRaised(access.timeNs, true);
      if (!raised && lineUp) checker.LineDropped(access.timeNs);
      lineUp = raised;
    }
    judgement.timeline.push_back(fmt::format("{:9.3f} s  {} {} 0x{:02X}", since(access.timeNs),
                                             access.write ? 'W' : 'R', static_cast<unsigned>(access.port),
                                             static_cast<unsigned>(run.rawValues[i])));
    if (access.write && access.value != run.rawValues[i])
      judgement.timeline.back() +=
          " (lines " + fmt::format("0x{:02X}", static_cast<unsigned>(access.value)) + ")";
    const bool answering = checker.AnswerRunning();
    checker.Observe(access);
    takeFindings();
    if (lineUp && !answering && checker.AnswerRunning()) {
      checker.LineDropped(access.timeNs);
      lineUp = false;
    }
  }
  checker.Finish(run.accesses.back().timeNs);
  takeFindings();

  judgement.tally = checker.Totals();
  const Tally& tally = judgement.tally;
  const std::string faults = Faults(tally);
  if (!faults.empty()) judgement.faults.push_back("answers: " + faults);
  if (tally.ok < minimumAnswers)
    judgement.faults.push_back(std::to_string(tally.ok) + " well-formed answers, at least " +
                               std::to_string(minimumAnswers) + " wanted");
  return judgement;
}

}  // namespace quorvane::supervisor
