#include "port_libraries/simulated/simulated_port_client.h"

#include <thread>

#include "common/failure.h"
#include "common/monotonic_clock.h"
#include "port_libraries/simulated/port_state.h"
#include "port_libraries/simulated/shared_state_file.h"

namespace quorvane::simport {

namespace {
// How long an access may stay half written before the reader gives it up:
// a live writer finishes in microseconds, so only a killed one takes this long.
constexpr std::uint64_t kStallLimitNs = 200'000'000;
constexpr auto kPollInterval = std::chrono::milliseconds(1);
}  // namespace

std::string SimulatedPort::DefaultPath() { return StateFilePath(); }

SimulatedPort::SimulatedPort(const std::string& path)
    : path_(path), file_(std::make_unique<SharedStateFile>()) {
  std::string error;
  if (!file_->Open(path_, &error)) throw Failure(error);
  state_ = file_->State();
}

SimulatedPort::~SimulatedPort() = default;

template <typename Access>
void SimulatedPort::Reach(Access&& access) const {
  if (!file_->Reach(access)) throw Failure(file_->CutShort());
}

std::uint8_t SimulatedPort::Status() const {
  return Read([&] { return LoadRegister(state_->status); });
}
void SimulatedPort::SetStatus(std::uint8_t value) {
  Reach([&] { StoreRegister(state_->status, value); });
}
void SimulatedPort::RaiseRequest() {
  Reach([&] { SetRegisterBits(state_->status, kRequestBit); });
}
void SimulatedPort::DropRequest() {
  Reach([&] { ClearRegisterBits(state_->status, kRequestBit); });
}
std::uint8_t SimulatedPort::Control() const {
  return Read([&] { return LoadRegister(state_->control); });
}
std::uint8_t SimulatedPort::Data() const {
  return Read([&] { return LoadRegister(state_->data); });
}
std::uint64_t SimulatedPort::NextSequence() const {
  return Read([&] { return RecordedCount(*state_); });
}

SlotRead SimulatedPort::ReadSlot(std::uint64_t index, RecordedAccess* out) const {
  return Read([&] { return ReadAccess(*state_, index, out); });
}

AccessReader::AccessReader(const SimulatedPort& port, bool fromStart, StampClock stamps)
    : port_(port), stamps_(stamps), cursor_(port.NextSequence()) {
  if (fromStart) cursor_ = cursor_ > kRingCapacity ? cursor_ - kRingCapacity : 0;
}

std::vector<Access> AccessReader::ReadNew(std::size_t limit) {
  std::vector<Access> accesses;
  const std::uint64_t head = port_.NextSequence();
  if (head - cursor_ > kRingCapacity) {
    lost_ += head - cursor_ - kRingCapacity;
    cursor_ = head - kRingCapacity;
  }
  const std::int64_t onto = stamps_ == StampClock::kMonotonicRaw ? MonotonicAheadOfRawNanoseconds() : 0;
  while (cursor_ < head && accesses.size() < limit) {
    RecordedAccess recorded{};
    const SlotRead result = port_.ReadSlot(cursor_, &recorded);
    if (result == SlotRead::kPending) {
      const std::uint64_t now = NowNs();
      if (stalledSince_ == 0) stalledSince_ = now;
      if (now - stalledSince_ < kStallLimitNs) break;  // still being written: next call
    }
    stalledSince_ = 0;
    if (result == SlotRead::kGood) {
      const auto timeNs = static_cast<std::uint64_t>(static_cast<std::int64_t>(recorded.timeNs) + onto);
      accesses.push_back(
          {recorded.index, timeNs, recorded.kind == AccessKind::kWrite, recorded.port, recorded.value});
    } else {
      ++lost_;
    }
    ++cursor_;
  }
  return accesses;
}

std::optional<Access> AccessReader::WaitFor(const std::function<bool(const Access&)>& match,
                                            std::chrono::milliseconds timeout, std::vector<Access>* seen) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    // One access at a time, so the cursor stops right after the match and
    // later accesses are left for the next call.
    for (std::vector<Access> one = ReadNew(1); !one.empty(); one = ReadNew(1)) {
      if (seen) seen->push_back(one.front());
      if (match(one.front())) return one.front();
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::uint64_t NowNs() { return static_cast<std::uint64_t>(quorvane::MonotonicNanoseconds()); }

std::function<bool(const Access&)> IsWriteTo(std::int16_t port) {
  return [=](const Access& access) { return access.write && access.port == port; };
}

}  // namespace quorvane::simport
