#pragma once

#include <cmath>
#include <cstdint>

namespace quorvane::bench_common {

// A duration the user gave in seconds (never negative), in whole
// nanoseconds, to the nearest.
inline std::uint64_t Ns(double seconds) { return static_cast<std::uint64_t>(std::llround(seconds * 1e9)); }

}  // namespace quorvane::bench_common
