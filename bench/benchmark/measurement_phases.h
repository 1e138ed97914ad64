#pragma once

// The benchmark's run, phase by phase, each filling its part of the
// results (measurement_run.cpp plays them in order), and what they share.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "bench/benchmark/answer_judge.h"
#include "bench/benchmark/bench_options.h"
#include "bench/benchmark/program_under_test.h"
#include "bench/benchmark/record_timing.h"
#include "bench/benchmark/results.h"
#include "bench/benchmark/single_requests.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::bench {

// Process start to first port write, and to the window mapped.
void TimeStartUps(const Options& options, Results& results);
// No request for options.idleSeconds: the idle CPU, the memory and the poll timer's
// periods, beside the floor's.
// `floorWindow` is the minimal window beside the program; under Wine it
// stays for the held request, where it is the floor again.
void MeasureIdle(const Options& options, ProgramUnderTest& program, Results& results,
                 std::optional<ProgramUnderTest>& floorWindow);
// Single requests at phases spread over the tick: latency and step errors.
void TimeSingleRequests(const Options& options, ProgramUnderTest& program, AnswerJudge& judge,
                        Results& results);
// One request held through several answers.
// Ends the floor window, if one is left.
void TimeHeldRequest(const Options& options, ProgramUnderTest& program, AnswerJudge& judge, Results& results,
                     std::optional<ProgramUnderTest>& floorWindow);
// Single requests with every CPU kept busy.
void TimeUnderLoad(const Options& options, ProgramUnderTest& program, AnswerJudge& judge, Results& results);

inline void Say(const std::string& text) { std::cerr << "[bench] " << text << std::endl; }

// A start under Wine takes longer than a native one, and several times
// longer again where 32-bit programs run under emulation (the Wine session
// says how many in WINE_TIME_FACTOR). Only waits for a start are widened.
inline std::chrono::milliseconds StartLimit(const Options& options, std::chrono::milliseconds native) {
  const char* factor = std::getenv("WINE_TIME_FACTOR");
  const int times = options.wine && factor ? std::max(1, std::atoi(factor)) : 1;
  return native * times;
}

// The step errors of an answer, into the results' figures by step.
inline void AddStepErrors(const supervisor::JudgedAnswer& answer, Results& results) {
  const std::vector<double> errors = StepErrorsUs(answer);
  for (std::size_t step = 0; step < errors.size(); ++step) results.stepErrorUs[step].push_back(errors[step]);
}

}  // namespace quorvane::bench
