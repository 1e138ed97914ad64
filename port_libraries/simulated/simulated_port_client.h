#pragma once

// For the processes around the simulated port: the supervising side, tools
// and tests. Opens the same state file as the port library (same path rules,
// created when new), drives the status register and follows the accesses the
// program makes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::simport {

class SharedStateFile;
struct StateFile;
struct RecordedAccess;
enum class SlotRead;

// One port access made through Inp32 or Out32.
struct Access {
  std::uint64_t sequence;  // 0 for the first access ever recorded in the file
  std::uint64_t timeNs;    // CLOCK_MONOTONIC when it was made; compare with NowNs()
  bool write;              // Out32; otherwise Inp32
  std::int16_t port;
  std::int16_t value;  // the byte read, or the whole value passed to Out32
};

class SimulatedPort {
 public:
  // $QUORVANE_SIMULATED_PORT, or the per-user default (StateFilePath).
  static std::string DefaultPath();

  // Opens the file, creating and initialising it when absent or empty.
  // Throws quorvane::Failure naming the path and the reason.
  explicit SimulatedPort(const std::string& path = DefaultPath());
  ~SimulatedPort();
  SimulatedPort(const SimulatedPort&) = delete;
  SimulatedPort& operator=(const SimulatedPort&) = delete;

  const std::string& Path() const { return path_; }

  std::uint8_t Status() const;
  void SetStatus(std::uint8_t value);
  // The request line, status bit 4; the other status bits are kept.
  void RaiseRequest();
  void DropRequest();
  std::uint8_t Control() const;
  std::uint8_t Data() const;

  // Accesses recorded so far: a cursor that reads only what comes next.
  std::uint64_t NextSequence() const;

  // Reads the access with that index from the ring (port_state.h's
  // ReadAccess).
  SlotRead ReadSlot(std::uint64_t index, RecordedAccess* out) const;

 private:
  // Each access to the file runs through these: a file cut short under the
  // mapping throws Failure naming it, where the process would otherwise die
  // of SIGBUS without a word.
  template <typename Access>
  void Reach(Access&& access) const;
  template <typename Reader>
  auto Read(Reader&& read) const {
    decltype(read()) value{};
    Reach([&] { value = read(); });
    return value;
  }

  std::string path_;
  std::unique_ptr<SharedStateFile> file_;
  StateFile* state_ = nullptr;
};

// The clock the program's accesses are stamped on: CLOCK_MONOTONIC, or, for
// a Windows program under Wine, CLOCK_MONOTONIC_RAW (Wine's
// QueryPerformanceCounter reads it).
enum class StampClock { kMonotonic, kMonotonicRaw };

// Follows the accesses recorded in the file, in order, from a cursor. Their
// times are given on CLOCK_MONOTONIC, to compare with NowNs(), whatever
// clock stamped them.
class AccessReader {
 public:
  // From the next access on (fromStart = false), or from the oldest one the
  // ring still holds.
  explicit AccessReader(const SimulatedPort& port, bool fromStart = false,
                        StampClock stamps = StampClock::kMonotonic);

  // The accesses recorded since the last call, in order. The ring holds the
  // latest 4096; when more arrived in between, the rest are counted in
  // Lost(). An access whose writer stopped half way (killed inside Out32) is
  // skipped as lost after a short wait. At most limit accesses are
  // returned; the rest wait for the next call.
  std::vector<Access> ReadNew(std::size_t limit = SIZE_MAX);
  std::uint64_t Lost() const { return lost_; }

  // Reads until an access that satisfies match arrives (returned) or the
  // timeout passes (nullopt). Every access read on the way, the match
  // included, is appended to *seen when given.
  std::optional<Access> WaitFor(const std::function<bool(const Access&)>& match,
                                std::chrono::milliseconds timeout, std::vector<Access>* seen = nullptr);

 private:
  const SimulatedPort& port_;
  StampClock stamps_;
  std::uint64_t cursor_;
  std::uint64_t lost_ = 0;
  std::uint64_t stalledSince_ = 0;  // NowNs() when the cursor's access was first found pending
};

// The monotonic clock of the accesses' timestamps, in ns.
std::uint64_t NowNs();

// A write to port, for WaitFor.
std::function<bool(const Access&)> IsWriteTo(std::int16_t port);

}  // namespace quorvane::simport
