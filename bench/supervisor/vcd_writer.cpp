#include "bench/supervisor/vcd_writer.h"

namespace quorvane::supervisor {

namespace {

// Identifier codes: printable, and none that starts a keyword ($) or a time (#).
const char* const kCodes[] = {"r", "a", "s", "c"};

int Index(VcdSignal signal) { return static_cast<int>(signal); }

bool IsByte(VcdSignal signal) { return signal == VcdSignal::kStatus || signal == VcdSignal::kControl; }

}  // namespace

VcdWriter::VcdWriter(std::ostream& out, std::uint64_t startNs, bool registers)
    : out_(out), startNs_(startNs), registers_(registers) {}

std::uint64_t VcdWriter::Microseconds(std::uint64_t timeNs) const {
  return timeNs > startNs_ ? (timeNs - startNs_) / 1000 : 0;
}

void VcdWriter::WriteValue(VcdSignal signal, unsigned value) {
  const char* code = kCodes[Index(signal)];
  if (IsByte(signal)) {
    out_ << 'b';
    for (int bit = 7; bit >= 0; --bit) out_ << ((value >> bit) & 1 ? '1' : '0');
    out_ << ' ' << code << '\n';
  } else {
    out_ << (value ? '1' : '0') << code << '\n';
  }
}

void VcdWriter::Begin(const std::string& date, const std::string& comment, const VcdLevels& levels) {
  out_ << "$date\n  " << date << "\n$end\n"
       << "$version\n  quorvane-supervisor\n$end\n"
       << "$comment\n  " << comment << "\n$end\n"
       << "$timescale 1 us $end\n"
       << "$scope module parallel_port $end\n"
       << "$var wire 1 " << kCodes[0] << " request $end\n"
       << "$var wire 1 " << kCodes[1] << " answer $end\n";
  if (registers_) {
    out_ << "$var wire 8 " << kCodes[2] << " status [7:0] $end\n"
         << "$var wire 8 " << kCodes[3] << " control [7:0] $end\n";
  }
  out_ << "$upscope $end\n"
       << "$enddefinitions $end\n";
  values_[0] = levels.request;
  values_[1] = levels.answer;
  values_[2] = levels.status;
  values_[3] = levels.control;
  out_ << "#0\n$dumpvars\n";
  for (int i = 0; i < (registers_ ? 4 : 2); ++i) WriteValue(static_cast<VcdSignal>(i), values_[i]);
  out_ << "$end\n";
  out_.flush();
}

void VcdWriter::Change(std::uint64_t timeNs, VcdSignal signal, unsigned value) {
  if (IsByte(signal)) {
    if (!registers_) return;
    value &= 0xFF;
  } else {
    value = value ? 1 : 0;
  }
  if (values_[Index(signal)] == value) return;
  values_[Index(signal)] = value;
  const std::uint64_t timeUs = Microseconds(timeNs);
  if (timeUs > lastTimeUs_) {
    lastTimeUs_ = timeUs;
    out_ << '#' << timeUs << '\n';
  }
  WriteValue(signal, value);
  out_.flush();  // a run stopped hard still leaves what it saw
}

void VcdWriter::End(std::uint64_t timeNs) {
  const std::uint64_t timeUs = Microseconds(timeNs);
  if (timeUs > lastTimeUs_) {
    lastTimeUs_ = timeUs;
    out_ << '#' << timeUs << '\n';
  }
  out_.flush();
}

}  // namespace quorvane::supervisor
