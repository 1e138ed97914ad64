#pragma once

// Writes the request and answer lines over time as a Value Change Dump, the
// logic-analyser format GTKWave and PulseView open: a header naming the
// signals, their values at time 0 in $dumpvars, then "#<time>" lines in
// rising order, each followed by the values that changed then. Time is in
// microseconds since the start of the run.

#include <cstdint>
#include <ostream>
#include <string>

namespace quorvane::supervisor {

enum class VcdSignal { kRequest, kAnswer, kStatus, kControl };

struct VcdLevels {
  bool request = false;  // status bit 4
  bool answer = false;   // control bit 0
  std::uint8_t status = 0;
  std::uint8_t control = 0;
};

class VcdWriter {
 public:
  // registers: also the whole status and control bytes as 8-bit vectors.
  VcdWriter(std::ostream& out, std::uint64_t startNs, bool registers);

  // The header and the values at time 0. date is free text for $date.
  void Begin(const std::string& date, const std::string& comment, const VcdLevels& levels);
  // A signal has this value from timeNs on. Only changes are written; a time
  // before the last one written is taken as the last one, so the file stays
  // in order when two sources' timestamps cross by a few microseconds.
  void Change(std::uint64_t timeNs, VcdSignal signal, unsigned value);
  // A last time stamp, so viewers show the run to its end.
  void End(std::uint64_t timeNs);

 private:
  std::uint64_t Microseconds(std::uint64_t timeNs) const;
  void WriteValue(VcdSignal signal, unsigned value);

  std::ostream& out_;
  std::uint64_t startNs_;
  bool registers_;
  std::uint64_t lastTimeUs_ = 0;
  unsigned values_[4]{};
};

}  // namespace quorvane::supervisor
