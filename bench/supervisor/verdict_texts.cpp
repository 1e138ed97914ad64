// What a verdict and a tally say in words, for the trace and the summaries.

#include "bench/supervisor/answer_checker.h"

namespace quorvane::supervisor {

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kNote: return "NOTE";
    case Verdict::kOk: return "OK";
    case Verdict::kLate: return "LATE";
    case Verdict::kMalformed: return "MALFORMED";
    case Verdict::kUnrequested: return "UNREQUESTED";
    case Verdict::kMissing: return "MISSING";
    case Verdict::kStray: return "STRAY";
    case Verdict::kUnfinished: return "UNFINISHED";
  }
  return "?";
}

std::string Faults(const Tally& tally) {
  std::string faults;
  const auto add = [&](int count, const char* what) {
    if (count > 0) faults += (faults.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  };
  add(tally.missing, "missing");
  add(tally.late, "late");
  add(tally.malformed, "malformed");
  add(tally.unrequested, "unrequested");
  add(tally.strayWrites, "stray writes");
  return faults;
}
}  // namespace quorvane::supervisor
