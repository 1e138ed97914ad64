#include "port_libraries/simulated/port_state.h"

#include <atomic>

namespace quorvane::simport {

namespace {

// The file is shared between processes, so its atomics must work without a
// lock of the process's own.
static_assert(std::atomic_ref<std::uint32_t>::is_always_lock_free);
static_assert(std::atomic_ref<std::uint64_t>::is_always_lock_free);
static_assert(alignof(StateFile) >= std::atomic_ref<std::uint64_t>::required_alignment);

std::atomic_ref<std::uint32_t> Word(const std::uint32_t& word) {
  return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(word));
}
std::atomic_ref<std::uint64_t> Word(const std::uint64_t& word) {
  return std::atomic_ref<std::uint64_t>(const_cast<std::uint64_t&>(word));
}

}  // namespace

void InitialiseState(StateFile& state) {
  Word(state.version).store(kVersion, std::memory_order_relaxed);
  Word(state.size).store(sizeof(StateFile), std::memory_order_relaxed);
  Word(state.ringCapacity).store(kRingCapacity, std::memory_order_relaxed);
  Word(state.data).store(0x00, std::memory_order_relaxed);
  Word(state.status).store(0x00, std::memory_order_relaxed);
  Word(state.control).store(0x00, std::memory_order_relaxed);
  Word(state.head).store(0, std::memory_order_relaxed);
  Word(state.magic).store(kMagic, std::memory_order_release);
}

std::string HeaderProblem(const StateFile& state) {
  const std::uint32_t magic = Word(state.magic).load(std::memory_order_acquire);
  if (magic != kMagic) return "is not a simulated port file (wrong magic number)";
  if (Word(state.version).load(std::memory_order_relaxed) != kVersion)
    return "has layout version " + std::to_string(Word(state.version).load()) + ", expected " +
           std::to_string(kVersion);
  if (Word(state.size).load(std::memory_order_relaxed) != sizeof(StateFile) ||
      Word(state.ringCapacity).load(std::memory_order_relaxed) != kRingCapacity)
    return "has the wrong size in its header";
  return {};
}

std::uint8_t LoadRegister(const std::uint32_t& reg) {
  return static_cast<std::uint8_t>(Word(reg).load(std::memory_order_acquire));
}

void StoreRegister(std::uint32_t& reg, std::uint8_t value) {
  Word(reg).store(value, std::memory_order_release);
}

void SetRegisterBits(std::uint32_t& reg, std::uint8_t bits) {
  Word(reg).fetch_or(bits, std::memory_order_acq_rel);
}

void ClearRegisterBits(std::uint32_t& reg, std::uint8_t bits) {
  Word(reg).fetch_and(~std::uint32_t{bits} & 0xFF, std::memory_order_acq_rel);
}

void RecordAccess(StateFile& state, AccessKind kind, std::int16_t port, std::int16_t value,
                  std::uint64_t timeNs) {
  const std::uint64_t index = Word(state.head).fetch_add(1, std::memory_order_acq_rel);
  AccessSlot& slot = state.ring[index % kRingCapacity];
  const std::uint64_t seq = index + 1;
  const std::uint64_t packed = PackAccess(kind, port, value);
  Word(slot.seq).store(seq | kSlotBusy, std::memory_order_relaxed);
  // The busy mark must be visible before any field changes.
  std::atomic_thread_fence(std::memory_order_release);
  Word(slot.timeNs).store(timeNs, std::memory_order_relaxed);
  Word(slot.packed).store(packed, std::memory_order_relaxed);
  Word(slot.check).store(AccessCheck(seq, timeNs, packed), std::memory_order_relaxed);
  Word(slot.seq).store(seq, std::memory_order_release);
}

std::uint64_t RecordedCount(const StateFile& state) {
  return Word(state.head).load(std::memory_order_acquire);
}

SlotRead ReadAccess(const StateFile& state, std::uint64_t index, RecordedAccess* out) {
  const AccessSlot& slot = state.ring[index % kRingCapacity];
  const std::uint64_t wanted = index + 1;
  const std::uint64_t before = Word(slot.seq).load(std::memory_order_acquire);
  if ((before & ~kSlotBusy) > wanted) return SlotRead::kOverwritten;
  if (before != wanted) return SlotRead::kPending;
  const std::uint64_t timeNs = Word(slot.timeNs).load(std::memory_order_relaxed);
  const std::uint64_t packed = Word(slot.packed).load(std::memory_order_relaxed);
  const std::uint64_t check = Word(slot.check).load(std::memory_order_relaxed);
  // The fields must be read before seq is read again.
  std::atomic_thread_fence(std::memory_order_acquire);
  const std::uint64_t after = Word(slot.seq).load(std::memory_order_relaxed);
  if (after != before) return (after & ~kSlotBusy) > wanted ? SlotRead::kOverwritten : SlotRead::kPending;
  if (check != AccessCheck(wanted, timeNs, packed)) {
    // Two writers a ring apart mixed their words; a later one holds the slot.
    return SlotRead::kOverwritten;
  }
  *out = {index, timeNs, PackedKind(packed), PackedPort(packed), PackedValue(packed)};
  return SlotRead::kGood;
}

}  // namespace quorvane::simport
