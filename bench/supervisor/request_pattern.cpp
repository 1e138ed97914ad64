#include "bench/supervisor/request_pattern.h"

#include <fmt/format.h>

#include <cmath>

#include "bench/common/nanoseconds.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::supervisor {

namespace {

using bench_common::Ns;

// Two polls this close to one tick apart give the poll phase.
constexpr std::uint64_t kPhaseSlackNs = 100'000'000;
// A pulse raised later than this after its planned moment would come too
// close to the next poll: it waits for the next gap instead.
constexpr std::uint64_t kPlacementSlackNs = 20'000'000;

}  // namespace

PatternSettings PatternSettings::From(const Options& options) {
  PatternSettings settings;
  settings.kind = options.pattern;
  settings.periodNs = Ns(options.patternSeconds);
  settings.holdNs = Ns(options.patternSeconds);
  settings.pulseNs = Ns(options.pulseMs / 1000);
  settings.count = options.RequestCount();
  settings.deadlineNs = Ns(options.deadlineSeconds);
  return settings;
}

RequestPattern::RequestPattern(const PatternSettings& settings, std::uint64_t startNs)
    : settings_(settings), startNs_(startNs), nextRaiseNs_(startNs), waitingSinceNs_(startNs) {}

std::vector<PatternNote> RequestPattern::TakeNotes() {
  std::vector<PatternNote> taken;
  taken.swap(notes_);
  return taken;
}

void RequestPattern::Observe(const Access& access) {
  if (!access.write && access.port == simport::kStatusPort) {
    if (raised_ && (access.value & simport::kRequestBit) && access.timeNs >= raisedNs_) pollSawRaise_ = true;
    previousPollNs_ = lastPollNs_;
    lastPollNs_ = access.timeNs;
  } else if (access.write && access.port == simport::kControlPort) {
    // The answer to a request starts with the write right after the poll
    // that saw it.
    if (raised_ && pollSawRaise_) answerBegun_ = true;
    // An answer holds the program for three seconds and moves its polls.
    previousPollNs_.reset();
    lastPollNs_.reset();
  }
}

LineChange RequestPattern::Decide(std::uint64_t nowNs) {
  return settings_.kind == PatternKind::kPulse ? DecidePulse(nowNs) : DecideRequest(nowNs);
}

bool RequestPattern::Finished() const {
  if (raised_) return false;
  if (settings_.kind == PatternKind::kHold) return played_ > 0;
  if (settings_.kind == PatternKind::kIdle) return idleOver_;
  if (settings_.kind == PatternKind::kPulse && watchUntilNs_) return false;
  return AllPlayed();
}

LineChange RequestPattern::DecideRequest(std::uint64_t nowNs) {
  if (settings_.kind == PatternKind::kIdle) {
    idleOver_ = nowNs >= startNs_ + settings_.holdNs;
    return LineChange::kNone;
  }
  if (settings_.kind == PatternKind::kHold) {
    if (!raised_ && played_ == 0 && nowNs >= startNs_) {
      raised_ = true;
      raisedNs_ = nowNs;
      ++played_;
      return LineChange::kRaiseRequest;
    }
    if (raised_ && nowNs >= raisedNs_ + settings_.holdNs) {
      raised_ = false;
      return LineChange::kDrop;
    }
    return LineChange::kNone;
  }

  // once, every: up until the answer begins, or until the deadline.
  if (raised_) {
    // A raise that falls due meanwhile is skipped, not made up later.
    while (nextRaiseNs_ <= nowNs) nextRaiseNs_ += settings_.periodNs;
    if (answerBegun_ || nowNs >= raisedNs_ + settings_.deadlineNs) {
      raised_ = false;
      return LineChange::kDrop;
    }
    return LineChange::kNone;
  }
  if (AllPlayed() || nowNs < nextRaiseNs_) return LineChange::kNone;
  while (nextRaiseNs_ <= nowNs) nextRaiseNs_ += settings_.periodNs;
  raised_ = true;
  raisedNs_ = nowNs;
  pollSawRaise_ = answerBegun_ = false;
  ++played_;
  return LineChange::kRaiseRequest;
}

LineChange RequestPattern::DecidePulse(std::uint64_t nowNs) {
  if (raised_) {
    if (nowNs < raisedNs_ + settings_.pulseNs) return LineChange::kNone;
    raised_ = false;
    watchUntilNs_ = nowNs + settings_.deadlineNs;
    return LineChange::kDrop;
  }
  if (watchUntilNs_) {
    if (nowNs < *watchUntilNs_) return LineChange::kNone;
    watchUntilNs_.reset();
    waitingSinceNs_ = nowNs;
  }
  if (AllPlayed()) return LineChange::kNone;

  const bool phaseKnown = previousPollNs_ && lastPollNs_ && lastPollNs_ != usedPollNs_ &&
                          *lastPollNs_ - *previousPollNs_ + kPhaseSlackNs >= settings_.stepNs &&
                          *lastPollNs_ - *previousPollNs_ <= settings_.stepNs + kPhaseSlackNs;
  if (phaseKnown) {
    // Centred in the gap: as far from the poll before as from the one after.
    const std::uint64_t raiseAt = *lastPollNs_ + (settings_.stepNs - settings_.pulseNs) / 2;
    if (nowNs < raiseAt) return LineChange::kNone;
    if (nowNs <= raiseAt + kPlacementSlackNs) {
      raised_ = true;
      raisedNs_ = nowNs;
      usedPollNs_ = lastPollNs_;
      ++played_;
      notes_.push_back(
          {false,
           fmt::format(
               "pulse of {:.0f} ms raised {:.3f} s after the last poll, to drop {:.3f} s before the next",
               settings_.pulseNs / 1e6, (nowNs - *lastPollNs_) / 1e9,
               (static_cast<double>(*lastPollNs_ + settings_.stepNs) -
                static_cast<double>(nowNs + settings_.pulseNs)) /
                   1e9)});
      return LineChange::kRaisePulse;
    }
    usedPollNs_ = lastPollNs_;  // this gap is gone; try the next one
  }

  // The program may be in an answer (three seconds) before it polls evenly.
  const std::uint64_t patience = settings_.deadlineNs + 4 * settings_.stepNs;
  if (nowNs > waitingSinceNs_ + patience) {
    ++unplaced_;
    ++played_;
    waitingSinceNs_ = nowNs;
    notes_.push_back(
        {true, fmt::format("pulse not placed: no two polls one tick apart within {:.1f} s", patience / 1e9)});
  }
  return LineChange::kNone;
}

}  // namespace quorvane::supervisor
