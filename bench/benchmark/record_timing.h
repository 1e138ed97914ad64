#pragma once

// Times read out of the program's record of port accesses.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bench/supervisor/answer_checker.h"
#include "port_libraries/simulated/simulated_port_client.h"

namespace quorvane::bench {

inline double Ms(std::uint64_t fromNs, std::uint64_t toNs) {
  return (static_cast<double>(toNs) - static_cast<double>(fromNs)) / 1e6;
}

// The intervals, in ms, between consecutive polls in accesses[from, to)
// with no write between them: the idle tick period.
std::vector<double> IdleTickIntervalsMs(const std::vector<simport::Access>& accesses, std::size_t from,
                                        std::size_t to);

// How far each step of a judged answer came from one second after the one
// before, in us (late is positive): steps 1 to 3, as far as its writes go.
std::vector<double> StepErrorsUs(const supervisor::JudgedAnswer& answer);

}  // namespace quorvane::bench
