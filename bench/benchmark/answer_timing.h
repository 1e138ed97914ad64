#pragma once

// Reads answers and ticks out of a recorded run of port accesses.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "port_libraries/simulated/simulated_port_client.h"

namespace quorvane::bench {

struct RecordedAnswer {
  simport::Access poll;      // the poll that saw the request line raised
  simport::Access edges[4];  // the writes to the control register
  bool wellFormed = false;   // values 0, 1, 0, 1, nothing else in between
};

// Every answer in accesses[from, to): a poll with bit 4 set and the four
// control writes after it. An answer cut off by `to` is left out.
std::vector<RecordedAnswer> FindAnswers(const std::vector<simport::Access>& accesses, std::size_t from,
                                        std::size_t to);

// The intervals, in ms, between consecutive polls in accesses[from, to)
// with no write between them: the idle tick period.
std::vector<double> IdleTickIntervalsMs(const std::vector<simport::Access>& accesses, std::size_t from,
                                        std::size_t to);

inline double Ms(std::uint64_t fromNs, std::uint64_t toNs) {
  return (static_cast<double>(toNs) - static_cast<double>(fromNs)) / 1e6;
}

}  // namespace quorvane::bench
