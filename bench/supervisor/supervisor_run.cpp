#include "bench/supervisor/supervisor_run.h"

#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "bench/common/nanoseconds.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::supervisor {

namespace {

using bench_common::Ns;
using simport::Access;
using simport::NowNs;

// Accesses older than this at the start only tell the line's state (an
// answer may be running); they are neither shown nor judged.
constexpr std::uint64_t kHistoryNs = 10'000'000'000;
// Once the pattern is done and every answer judged, wait this long for
// accesses still on their way before ending.
constexpr std::uint64_t kQuietNs = 200'000'000;
constexpr auto kLoopPause = std::chrono::milliseconds(1);
// --wait-poll takes a poll this recent, from before the start, as the
// program running already.
constexpr std::uint64_t kRecentPollNs = 1'500'000'000;
constexpr std::uint64_t kHalfTickNs = 500'000'000;

bool IsPoll(const Access& access) { return !access.write && access.port == simport::kStatusPort; }

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &local);
  return text;
}

}  // namespace

Run::Run(const Options& options, simport::SimulatedPort& port, std::ofstream* vcdFile)
    : options_(options),
      port_(port),
      startNs_(NowNs()),
      checker_(Settings(options, startNs_)),
      reader_(port, true,
              options.wine ? simport::StampClock::kMonotonicRaw : simport::StampClock::kMonotonic) {
  if (!options.quiet)
    trace_.emplace(stdout, startNs_, port.Status() & simport::kRequestBit,
                   port.Control() & simport::kAnswerBit);
  if (vcdFile) vcd_.emplace(*vcdFile, startNs_, options.vcdRegisters);
}

RunSummary Run::Play(const volatile std::sig_atomic_t& stopRequested) {
  Begin();
  const std::uint64_t endNs = options_.seconds ? startNs_ + Ns(*options_.seconds) : UINT64_MAX;
  std::uint64_t settledSince = 0;  // 0: not settled
  bool interrupted = false;
  for (;;) {
    const std::uint64_t now = NowNs();
    Follow();
    checker_.Advance(now);
    ShowFindings();
    if (pattern_) Apply(pattern_->Decide(NowNs()));
    ShowPatternNotes();
    if (stopRequested) {
      interrupted = true;
      break;
    }
    if (now >= endNs) break;
    if (pattern_ && pattern_->Finished() && checker_.Settled(now)) {
      if (settledSince == 0) settledSince = now;
      if (now - settledSince >= kQuietNs) break;
    } else {
      settledSince = 0;
    }
    std::this_thread::sleep_for(kLoopPause);
  }
  return End(interrupted);
}

CheckerSettings Run::Settings(const Options& options, std::uint64_t startNs) {
  CheckerSettings settings;
  settings.toleranceNs = Ns(options.toleranceMs / 1000);
  settings.lateNs = Ns(options.LateSeconds());
  settings.deadlineNs = Ns(options.deadlineSeconds);
  settings.countFromNs = startNs;
  return settings;
}

void Run::Begin() {
  // What happened just before the start: an answer may be running, and
  // the polls give the pulse pattern its phase.
  // It is replayed from a poll on: a poll comes only between answers, so
  // the writes after it line up with the answers they belong to.
  const std::vector<Access> history = reader_.ReadNew();
  std::optional<std::uint64_t> lastPollNs;
  for (const Access& access : history) {
    if (access.timeNs + kHistoryNs >= startNs_ && IsPoll(access)) lastPollNs = access.timeNs;
  }
  // A program that polled within the last tick or so is running now.
  if (!options_.waitPoll || (lastPollNs && *lastPollNs + kRecentPollNs >= startNs_)) {
    pattern_.emplace(PatternSettings::From(options_), startNs_);
  }
  bool polled = false;
  for (const Access& access : history) {
    if (access.timeNs + kHistoryNs < startNs_) continue;
    polled = polled || IsPoll(access);
    if (!polled) continue;
    checker_.Observe(access);
    if (pattern_) pattern_->Observe(access);
  }
  checker_.TakeFindings();
  lostAtStart_ = reader_.Lost();

  const std::uint8_t statusBefore = port_.Status();
  const bool leftRaised = statusBefore & simport::kRequestBit;
  if (options_.statusBits)
    port_.SetStatus(*options_.statusBits & ~simport::kRequestBit);
  else if (leftRaised)
    port_.DropRequest();
  VcdLevels levels{false, static_cast<bool>(port_.Control() & simport::kAnswerBit), port_.Status(),
                   port_.Control()};
  if (vcd_) {
    vcd_->Begin(Now(),
                "request: status bit 4 (port 889), raised by the supervisor; answer: control bit 0 "
                "(port 890), written by the program. Pattern: " +
                    DescribePattern(options_),
                levels);
  }
  if (trace_) {
    std::printf("quorvane-supervisor: %s on %s\n", DescribePattern(options_).c_str(), port_.Path().c_str());
    std::printf("deadline %.3f s, late after %.3f s, step tolerance %.0f ms\n", options_.deadlineSeconds,
                options_.LateSeconds(), options_.toleranceMs);
    trace_->Heading();
    if (leftRaised) trace_->RequestLine(startNs_, false, "it was left raised before the start");
    if (port_.Status() != (statusBefore & ~simport::kRequestBit)) {
      trace_->Note(startNs_, fmt::format("NOTE status byte set to 0x{:02X} (was 0x{:02X})", port_.Status(),
                                         statusBefore));
    }
  }
}

void Run::Follow() {
  for (const Access& access : reader_.ReadNew()) {
    if (trace_) trace_->PortAccess(access);
    checker_.Observe(access);
    if (!pattern_ && IsPoll(access)) {
      // --wait-poll: the program is up. Half a tick on, the first request
      // meets neither the poll just made nor the next one.
      pattern_.emplace(PatternSettings::From(options_), access.timeNs + kHalfTickNs);
      if (trace_) trace_->Note(access.timeNs, "NOTE the program polls: the pattern starts in 0.5 s");
    }
    if (pattern_) pattern_->Observe(access);
    if (vcd_ && access.write && access.port == simport::kControlPort) {
      vcd_->Change(access.timeNs, VcdSignal::kAnswer, access.value & simport::kAnswerBit);
      vcd_->Change(access.timeNs, VcdSignal::kControl, static_cast<std::uint16_t>(access.value));
    }
  }
  if (reader_.Lost() != lostShown_ + lostAtStart_) {
    const std::uint64_t lost = reader_.Lost() - lostAtStart_ - lostShown_;
    lostShown_ += lost;
    if (trace_)
      trace_->Note(NowNs(), "WARNING " + std::to_string(lost) + " accesses lost: the ring was overrun");
  }
}

void Run::Apply(LineChange change) {
  if (change == LineChange::kNone) return;
  std::string why;
  if (change == LineChange::kDrop) {
    port_.DropRequest();
    lineRaised_ = false;
    if (options_.pattern == PatternKind::kHold)
      why = "held for the time asked";
    else if (options_.pattern == PatternKind::kPulse)
      why = "end of the pulse";
    else
      why = checker_.AnswerRunning() ? "the answer began" : "no answer by the deadline";
  } else {
    port_.RaiseRequest();
    lineRaised_ = true;
    why = change == LineChange::kRaisePulse ? "a pulse, which must not be answered" : "";
  }
  const std::uint64_t t = NowNs();
  if (change == LineChange::kDrop)
    checker_.LineDropped(t);
  else
    checker_.LineRaised(t, change == LineChange::kRaiseRequest);
  if (trace_) trace_->RequestLine(t, lineRaised_, why);
  if (vcd_) {
    vcd_->Change(t, VcdSignal::kRequest, lineRaised_);
    vcd_->Change(t, VcdSignal::kStatus, port_.Status());
  }
}

void Run::ShowFindings() {
  for (const Finding& finding : checker_.TakeFindings()) {
    if (trace_) trace_->Report(finding);
  }
}

void Run::ShowPatternNotes() {
  if (!pattern_) return;
  for (const PatternNote& note : pattern_->TakeNotes()) {
    if (trace_) trace_->Note(NowNs(), (note.error ? "ERROR " : "NOTE ") + note.text);
  }
}

RunSummary Run::End(bool interrupted) {
  Follow();
  if (lineRaised_) {
    port_.DropRequest();
    lineRaised_ = false;
    const std::uint64_t t = NowNs();
    checker_.LineDropped(t);
    if (trace_) trace_->RequestLine(t, false, "end of the run");
    if (vcd_) {
      vcd_->Change(t, VcdSignal::kRequest, false);
      vcd_->Change(t, VcdSignal::kStatus, port_.Status());
    }
  }
  const std::uint64_t endNs = NowNs();
  checker_.Finish(endNs);
  ShowFindings();
  if (vcd_) vcd_->End(endNs);

  RunSummary summary;
  summary.pattern = DescribePattern(options_);
  summary.seconds = (endNs - startNs_) / 1e9;
  summary.tally = checker_.Totals();
  summary.unplacedPulses = pattern_ ? pattern_->UnplacedPulses() : 0;
  summary.neverPolled = !pattern_;
  summary.lostAccesses = reader_.Lost() - lostAtStart_;
  summary.interrupted = interrupted;
  return summary;
}

}  // namespace quorvane::supervisor
