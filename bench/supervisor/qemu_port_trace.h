#pragma once

// QEMU's trace of its emulated parallel port (trace events
// parallel_ioport_read and parallel_ioport_write, logged with -msg
// timestamp=on), read into the access records the answer checker takes,
// and one case of a guest run judged by that checker.
//
// A trace line looks like
//   708@1796824254.929471:parallel_ioport_write write [SW] addr 0x02 val 0x10
// that is the thread, the host's time of day in microseconds, and the
// register's offset from the port base with the byte that crossed.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "bench/supervisor/answer_checker.h"

namespace quorvane::supervisor {

struct TraceRecord {
  std::uint64_t timeNs;  // host time of day
  bool write;
  int offset;  // 0 data, 1 status, 2 control
  std::uint8_t value;
};

// One line of the trace; nullopt for any other line of QEMU's log.
std::optional<TraceRecord> ParseTraceLine(const std::string& line);
std::vector<TraceRecord> ReadTrace(std::istream& in);

// The program never touches the data register, so the guest marks where each
// case begins by writing the case's stamp there. A case runs from its stamp
// up to the next write to the data register; nullopt when the stamp is not
// in the trace.
std::optional<std::vector<TraceRecord>> CaseRecords(const std::vector<TraceRecord>& trace,
                                                    std::uint8_t stamp);

// What a case's records hold, split between the driver and the program.
struct ProgramRun {
  // The control writes of ppdev's claims before the program's first access
  // of its own: the port's rest state.
  std::vector<TraceRecord> claimWrites;
  // Every access from the program's first on, as the checker takes them:
  // ports numbered from the port base, control values cut to the lines the
  // program drives.
  std::vector<Access> accesses;
  std::vector<std::uint8_t> rawValues;  // the byte that crossed, for each access
};
ProgramRun SplitProgramRun(const std::vector<TraceRecord>& caseRecords);

struct CaseJudgement {
  Tally tally;
  std::vector<std::string> timeline;  // one line per access and per finding
  std::vector<std::string> faults;    // empty when the case passed
};

// Judges a case from the program's start-up write on: the first access must
// be the write of the idle level to the control register; then at least
// `minimumAnswers` well-formed answers and no fault the checker counts. The
// request line is what the status reads show, up to the answer they start
// (a later read tells whether it is still raised). The
// case ends at the program's last access, since the guest stops the program
// at a moment of its own: an answer the stop cut short is unfinished, not
// malformed.
CaseJudgement JudgeCase(const std::vector<TraceRecord>& caseRecords, const CheckerSettings& settings,
                        int minimumAnswers);

}  // namespace quorvane::supervisor
