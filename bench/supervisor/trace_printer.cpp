#include "bench/supervisor/trace_printer.h"

#include <fmt/format.h>

#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::supervisor {

TracePrinter::TracePrinter(std::FILE* out, std::uint64_t startNs, bool request, bool answer)
    : out_(out), startNs_(startNs), request_(request), answer_(answer) {}

void TracePrinter::Heading() {
  std::fprintf(out_, "%9s %3s %3s  %s\n", "time s", "req", "ans", "event");
  std::fflush(out_);
}

void TracePrinter::Print(std::uint64_t timeNs, const std::string& event) {
  const double seconds = (static_cast<double>(timeNs) - static_cast<double>(startNs_)) / 1e9;
  std::fprintf(out_, "%9.3f %3d %3d  %s\n", seconds, request_ ? 1 : 0, answer_ ? 1 : 0, event.c_str());
  std::fflush(out_);
}

void TracePrinter::PortAccess(const Access& access) {
  const char* name = access.port == simport::kStatusPort    ? "status "
                     : access.port == simport::kControlPort ? "control"
                     : access.port == simport::kDataPort    ? "data   "
                                                            : "       ";
  if (access.write && access.port == simport::kControlPort) answer_ = access.value & simport::kAnswerBit;
  Print(access.timeNs, fmt::format("{} {} {} 0x{:02X}", access.write ? 'W' : 'R', access.port, name,
                                   static_cast<std::uint16_t>(access.value)));
}

void TracePrinter::RequestLine(std::uint64_t timeNs, bool raised, const std::string& why) {
  request_ = raised;
  Print(timeNs, std::string(raised ? "request line raised" : "request line dropped") +
                    (why.empty() ? "" : " (" + why + ")"));
}

void TracePrinter::Report(const Finding& finding) {
  Print(finding.timeNs, std::string(VerdictName(finding.verdict)) + " " + finding.text);
}

void TracePrinter::Note(std::uint64_t timeNs, const std::string& text) { Print(timeNs, text); }

}  // namespace quorvane::supervisor
