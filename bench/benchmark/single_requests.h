#pragma once

// Single requests raised at the program and judged, for every phase that
// times answers one at a time (idle, under load, the service's run).

#include <chrono>
#include <cstdint>
#include <functional>

#include "bench/benchmark/answer_judge.h"
#include "bench/benchmark/program_under_test.h"
#include "bench/benchmark/results.h"

namespace quorvane::bench {

bool IsPoll(const simport::Access& a);

// From now to a time of the port's record (negative when it has passed).
std::chrono::nanoseconds SinceNow(std::uint64_t timeNs);

// Raises `count` single requests, each at its own phase of the tick, and
// sleeps through each answer, so this side takes no CPU time from the
// program while it times its steps; `judged` gets every answer judged.
void AnswerSingleRequests(ProgramUnderTest& program, AnswerJudge& judge, int count, bool timeLatency,
                          Results& results,
                          const std::function<void(const supervisor::JudgedAnswer&)>& judged);

}  // namespace quorvane::bench
