#pragma once

// Atomic operations on a mapped state file, shared by the port library and
// its users. Registers and the ring are touched only through these, so no
// process ever sees half of a value another one is writing.

#include <cstdint>
#include <string>

#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::simport {

// Fills a zeroed, mapped file with its power-on state, publishing the magic
// last so no other process trusts the file before it is complete. Only for a
// file just made by the caller, or an empty one filled under the lock.
void InitialiseState(StateFile& state);

// Empty when the header is ours, else why not (to follow "the file ... ").
std::string HeaderProblem(const StateFile& state);

std::uint8_t LoadRegister(const std::uint32_t& reg);
void StoreRegister(std::uint32_t& reg, std::uint8_t value);
// Sets or clears some bits in one atomic step, so two processes changing
// different bits at once both keep their change.
void SetRegisterBits(std::uint32_t& reg, std::uint8_t bits);
void ClearRegisterBits(std::uint32_t& reg, std::uint8_t bits);

// Appends one access to the ring; safe from any number of processes at once.
void RecordAccess(StateFile& state, AccessKind kind, std::int16_t port, std::int16_t value,
                  std::uint64_t timeNs);

// Accesses recorded so far: the index the next one will get.
std::uint64_t RecordedCount(const StateFile& state);

enum class SlotRead {
  kGood,        // *out holds the access with that index
  kPending,     // that access is not yet (completely) written: try again later
  kOverwritten  // a later access has taken its slot: it is lost
};

struct RecordedAccess {
  std::uint64_t index;
  std::uint64_t timeNs;
  AccessKind kind;
  std::int16_t port;
  std::int16_t value;
};

// Reads the access with the given index, checking it was not torn.
SlotRead ReadAccess(const StateFile& state, std::uint64_t index, RecordedAccess* out);

}  // namespace quorvane::simport
