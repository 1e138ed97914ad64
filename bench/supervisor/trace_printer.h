#pragma once

// The live trace: one line per event, as it happens. Each line holds the
// seconds since the start of the run, the request line (status bit 4) and
// the answer line (control bit 0) after the event, then the event itself.

#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/supervisor/answer_checker.h"

namespace quorvane::supervisor {

class TracePrinter {
 public:
  TracePrinter(std::FILE* out, std::uint64_t startNs, bool request, bool answer);

  void Heading();
  void PortAccess(const Access& access);
  void RequestLine(std::uint64_t timeNs, bool raised, const std::string& why);
  void Report(const Finding& finding);
  void Note(std::uint64_t timeNs, const std::string& text);

 private:
  void Print(std::uint64_t timeNs, const std::string& event);

  std::FILE* out_;
  std::uint64_t startNs_;
  bool request_;
  bool answer_;
};

}  // namespace quorvane::supervisor
