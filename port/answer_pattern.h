#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "port/port_map.h"

// The answer to a request, as data: the responder plays it and the bench's
// answer checker judges the program by it, so the two cannot drift apart.
namespace quorvane::answer_pattern {

inline constexpr std::int64_t kSecondNs = 1'000'000'000;

// One write of the answer: the control value, and when it is due, counted
// from the answer's first write on the monotonic clock. Each write is due at
// its fixed offset, so time spent in a write (the port library's own work,
// a driver call) never pushes the writes after it later.
struct Step {
  std::int16_t value;
  std::int64_t offsetNs;
};

// The answer line leaves idle for one second, comes back for one, leaves
// again for one and ends at idle.
inline constexpr std::array<Step, 4> kSteps{{
    {port_map::kAnswerActive, 0},
    {port_map::kAnswerIdle, 1 * kSecondNs},
    {port_map::kAnswerActive, 2 * kSecondNs},
    {port_map::kAnswerIdle, 3 * kSecondNs},
}};

inline constexpr std::size_t kWrites = kSteps.size();

// The time from one write to the next. Every step lasts this long: the
// wait between two writes is always one second.
inline constexpr std::int64_t kStepNs = kSecondNs;

// The level the line rests at between answers, which start-up also writes.
inline constexpr std::int16_t kIdle = port_map::kAnswerIdle;

constexpr bool EveryStepOneSecond() {
  if (kSteps[0].offsetNs != 0) return false;
  for (std::size_t i = 1; i < kWrites; ++i)
    if (kSteps[i].offsetNs - kSteps[i - 1].offsetNs != kStepNs) return false;
  return true;
}
static_assert(EveryStepOneSecond(), "each wait of the answer is WaitUntilDue, one second");
static_assert(kSteps[0].value != kIdle, "an answer starts by leaving the idle level");
static_assert(kSteps[kWrites - 1].value == kIdle, "an answer ends at the idle level");

}  // namespace quorvane::answer_pattern
