#include "bench/benchmark/service_under_load.h"

#include <unistd.h>

#include <iostream>
#include <thread>

#include "bench/benchmark/answer_judge.h"
#include "bench/benchmark/floor.h"
#include "bench/benchmark/program_under_test.h"
#include "bench/benchmark/record_timing.h"
#include "bench/benchmark/scheduling_grant.h"
#include "bench/benchmark/single_requests.h"
#include "bench/benchmark/sleep_floor.h"

namespace quorvane::bench {

using namespace std::chrono_literals;

void TimeServiceUnderLoad(const Options& options, Results& results) {
  const int workers = static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN));
  std::cerr << "[bench] timing " << options.loadedSequences << " single requests to the service's program ("
            << SERVICE_PROGRAM << ", LimitRTPRIO=1) with " << workers << " stress-ng CPU workers"
            << std::endl;
  ProgramUnderTest program(SERVICE_PROGRAM, options.libraryFolder, false);
  const std::vector<std::string> grant = AsTheService();
  if (const std::string note = ServiceGrantNote(grant); !note.empty()) results.notes.push_back(note);
  program.RunUnder(grant);
  program.Start();
  if (!program.WaitFor(IsPoll, 5s)) {
    results.notes.push_back("the service's program never polled: " + program.Errors());
    return;
  }
  AnswerJudge judge(program);
  CpuLoad load(workers);
  if (!load.Available()) return;    // the window's run under load says why
  std::this_thread::sleep_for(1s);  // every worker running
  SleepFloor floor(true);
  AnswerSingleRequests(program, judge, options.loadedSequences, false, results,
                       [&](const supervisor::JudgedAnswer& answer) {
                         const std::vector<double> errors = StepErrorsUs(answer);
                         results.serviceLoadStepErrorUs.insert(results.serviceLoadStepErrorUs.end(),
                                                               errors.begin(), errors.end());
                       });
  results.serviceLoadFloorLatenessUs = floor.Finish().latenessUs;
  judge.Update();
  judge.Finish();
  const supervisor::Tally& tally = judge.Totals();
  results.serviceLoadRun = true;
  results.serviceLoadAnswers = tally.answers;
  results.serviceLoadFaults = tally.malformed + tally.unrequested + tally.strayWrites + tally.missing;
  results.serviceClass = ClassAnswered(program.Errors(), false);
}

}  // namespace quorvane::bench
