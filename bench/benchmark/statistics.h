#pragma once

// Summaries of measured samples.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <vector>

namespace quorvane::bench {

// The nearest-rank percentile (p in 0..100) of the samples; 0 when empty.
inline double Percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
  return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

inline double Mean(const std::vector<double>& samples) {
  if (samples.empty()) return 0;
  return std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
}

inline std::vector<double> Magnitudes(std::vector<double> samples) {
  for (double& sample : samples) sample = std::fabs(sample);
  return samples;
}

}  // namespace quorvane::bench
