// quorvane-qemu-trace-judge: judges the program's answers in one case of a
// guest run, from QEMU's trace of its emulated parallel port, with the
// supervisor's answer checker.
//
//   quorvane-qemu-trace-judge [--answers N] [--tolerance MS] TRACE STAMP
//
// Prints the register timeline of the case, each answer's steps and a
// verdict. Exits 0 when the case passed, 1 when it did not, 2 on bad usage,
// 3 when the trace cannot be read or the case is not in it.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/supervisor/qemu_port_trace.h"

namespace {

using namespace quorvane::supervisor;

int Usage() {
  std::fprintf(
      stderr,
      "usage: quorvane-qemu-trace-judge [--answers N] [--tolerance MS] [--device SW|HW] TRACE STAMP\n");
  return 2;
}

bool ParseNumber(const char* text, unsigned long& value) {
  char* end = nullptr;
  value = std::strtoul(text, &end, 0);
  return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  CheckerSettings settings;
  unsigned long answers = 3;
  // QEMU's trace names no port base: with two ports, one emulated ([SW])
  // and one passed through to the host ([HW]), the tag tells them apart.
  std::string device;
  std::vector<const char*> operands;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    unsigned long value = 0;
    if (option == "--device" && i + 1 < argc) {
      device = std::string("[") + argv[++i] + "]";
    } else if ((option == "--answers" || option == "--tolerance") && i + 1 < argc) {
      if (!ParseNumber(argv[++i], value)) return Usage();
      if (option == "--answers")
        answers = value;
      else
        settings.toleranceNs = value * 1'000'000;
    } else if (option.rfind("--", 0) == 0) {
      return Usage();
    } else {
      operands.push_back(argv[i]);
    }
  }
  unsigned long stamp = 0;
  if (operands.size() != 2 || !ParseNumber(operands[1], stamp) || stamp > 0xFF) return Usage();

  std::ifstream in(operands[0]);
  if (!in) {
    std::fprintf(stderr, "quorvane-qemu-trace-judge: cannot read %s\n", operands[0]);
    return 3;
  }
  std::stringstream lines;
  for (std::string line; std::getline(in, line);)
    if (device.empty() || line.find(device) != std::string::npos) lines << line << '\n';
  const auto records = CaseRecords(ReadTrace(lines), static_cast<std::uint8_t>(stamp));
  if (!records) {
    std::fprintf(stderr, "quorvane-qemu-trace-judge: no case stamp 0x%02lX in %s\n", stamp, operands[0]);
    return 3;
  }

  const CaseJudgement judgement = JudgeCase(*records, settings, static_cast<int>(answers));
  std::printf("case 0x%02lX, time from its stamp:\n", stamp);
  for (const std::string& line : judgement.timeline) std::printf("%s\n", line.c_str());

  const Tally& tally = judgement.tally;
  int number = 0;
  for (const JudgedAnswer& answer : tally.judged) {
    std::printf("answer %d: %s, steps", ++number, VerdictName(answer.verdict));
    for (int i = 1; i < answer.writes; ++i)
      std::printf(" %.3f", (answer.writeNs[i] - answer.writeNs[i - 1]) / 1e6);
    std::printf(" ms\n");
  }
  std::vector<std::uint64_t> errors = tally.spacingErrorsNs;
  if (!errors.empty()) {
    std::sort(errors.begin(), errors.end());
    std::printf("step error from 1000 ms over %zu steps: median %.3f ms, max %.3f ms (tolerance %.0f ms)\n",
                errors.size(), errors[errors.size() / 2] / 1e6, errors.back() / 1e6,
                settings.toleranceNs / 1e6);
  }
  if (judgement.faults.empty()) {
    std::printf("PASS: %d well-formed answers from the start-up write on\n", tally.ok);
    return 0;
  }
  for (const std::string& fault : judgement.faults) std::printf("FAIL: %s\n", fault.c_str());
  return 1;
}
