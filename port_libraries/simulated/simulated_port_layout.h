#pragma once

// The simulated parallel port's shared state file: its byte layout, shared by
// the simulated port library (libinpout32.so) and every tool that watches or
// drives it. Several processes map the file at once (the program, a
// supervisor, perhaps a second copy of the program), so every field that
// changes after creation is an aligned 32- or 64-bit word accessed only
// atomically (see port_state.h); nothing is ever read or written by halves.
//
// Where the file lives: $QUORVANE_SIMULATED_PORT when set and not empty,
// otherwise one per user, so both sides agree without settings:
// $XDG_RUNTIME_DIR/quorvane-simulated-port, in a folder no other user may
// write, or /tmp/quorvane-simulated-port-<uid> (by effective uid) where
// XDG_RUNTIME_DIR is not set; on Windows
// %TEMP%\quorvane-simulated-port-<user name>. A file that another user owns
// or may write is refused wherever it lies.
//
// An absent file is built whole under a temporary name in the same folder
// and then put in place only if no file of that name appeared meanwhile; an
// empty one is filled under an exclusive lock on it. Either way the size
// comes first, then the fields, the magic last. The power-on values are data
// 0x00, status 0x00 (request line low, no other input raised) and control
// 0x00 (the answer line is not yet at its idle level 1; the program's
// start-up write sets it). Any other file whose magic, version or size is
// wrong, a zeroed one included, is refused, never rewritten: another run, or
// another program, may be using it.
//
// All fields are in the machine's own byte order; both sides run on the same
// machine.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "port/port_map.h"

namespace quorvane::simport {

inline constexpr std::uint32_t kMagic = 0x50535651;  // "QVSP" in a little-endian file
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::uint32_t kRingCapacity = 4096;  // a power of two

inline constexpr const char* kPathVariable = "QUORVANE_SIMULATED_PORT";
// The default file's name; in a temporary folder that every user shares,
// followed by "-" and the user's number or name.
inline constexpr const char* kDefaultFileName = "quorvane-simulated-port";

// Where the registers lie: at the conventional first port, or at the base
// this variable names (0x278 or 632) for a program told to drive a port
// elsewhere. The file is the same either way, its record holding each
// access under the port it was made to.
inline constexpr const char* kBaseVariable = "QUORVANE_SIMULATED_PORT_BASE";

// The simulated port's registers: the program's port map, at the
// conventional first port.
inline constexpr std::int16_t kDataPort = port_map::kBase;        // data: read and written freely
inline constexpr std::int16_t kStatusPort = port_map::kStatus;    // status: input only, bit 4 = request line
inline constexpr std::int16_t kControlPort = port_map::kControl;  // control: bit 0 = answer line
inline constexpr std::uint8_t kRequestBit = port_map::kRequestMask;
inline constexpr std::uint8_t kAnswerBit = 0x01;
// What a read of a port that is not simulated returns (nothing drives the bus).
inline constexpr std::uint8_t kFloatingBus = 0xFF;

enum class AccessKind : std::uint8_t { kRead = 0, kWrite = 1 };

// One port access made through Inp32 or Out32.
//
// A slot is published with a per-slot sequence (a seqlock that tolerates
// several writers): the writer takes index i = head++, stores
// seq = i + 1 | kSlotBusy, then time, packed and check, then seq = i + 1
// (release). A reader expecting index i reads seq (acquire), the fields, and
// seq again; the record is good only when both reads of seq are exactly
// i + 1 and check matches. check also catches the one case the sequence
// alone cannot: two writers a whole ring apart filling the same slot at once.
// The 64-bit words are aligned to 8 in every ABI (a 32-bit Windows build
// shares this header), as lock-free 64-bit atomics need.
struct AccessSlot {
  alignas(8) std::uint64_t seq;  // index + 1 of the access held; 0 = never written
  std::uint64_t timeNs;          // CLOCK_MONOTONIC when the access was made, in ns
  std::uint64_t packed;          // see PackAccess
  std::uint64_t check;           // AccessCheck(seq, timeNs, packed)
};
inline constexpr std::uint64_t kSlotBusy = std::uint64_t{1} << 63;

struct StateFile {
  // Written once, at creation; the magic last.
  std::uint32_t magic;
  std::uint32_t version;
  std::uint32_t size;          // sizeof(StateFile), the file's length
  std::uint32_t ringCapacity;  // kRingCapacity
  // The registers, one byte each held in the low byte of a 32-bit word.
  std::uint32_t data;
  std::uint32_t status;   // changed only by the supervising side, directly here
  std::uint32_t control;  // the last byte written to port 890
  std::uint32_t reserved0;
  // Accesses ever recorded; the next access gets this index. Its slot is
  // ring[index % kRingCapacity].
  alignas(8) std::uint64_t head;
  std::uint64_t reserved1[3];
  AccessSlot ring[kRingCapacity];
};

static_assert(sizeof(AccessSlot) == 32);
static_assert(offsetof(StateFile, data) == 16);
static_assert(offsetof(StateFile, head) == 32);
static_assert(offsetof(StateFile, ring) == 64);
static_assert(sizeof(StateFile) == 64 + 32 * kRingCapacity);
static_assert((kRingCapacity & (kRingCapacity - 1)) == 0);

// packed: bits 0-15 the value (the byte read, or the whole value passed to
// Out32, of which the port keeps the low byte), bits 16-31 the port, bit 32
// the kind.
constexpr std::uint64_t PackAccess(AccessKind kind, std::int16_t port, std::int16_t value) {
  return static_cast<std::uint64_t>(static_cast<std::uint16_t>(value)) |
         static_cast<std::uint64_t>(static_cast<std::uint16_t>(port)) << 16 |
         static_cast<std::uint64_t>(kind) << 32;
}
constexpr std::int16_t PackedValue(std::uint64_t packed) {
  return static_cast<std::int16_t>(packed & 0xFFFF);
}
constexpr std::int16_t PackedPort(std::uint64_t packed) {
  return static_cast<std::int16_t>((packed >> 16) & 0xFFFF);
}
constexpr AccessKind PackedKind(std::uint64_t packed) { return static_cast<AccessKind>((packed >> 32) & 1); }

// A 64-bit mix of the three words (the splitmix64 finaliser per word), so a
// slot holding words of two different accesses fails the check.
constexpr std::uint64_t AccessCheck(std::uint64_t seq, std::uint64_t timeNs, std::uint64_t packed) {
  std::uint64_t h = 0x9E3779B97F4A7C15u;
  for (std::uint64_t word : {seq, timeNs, packed}) {
    h ^= word;
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9u;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBu;
    h ^= h >> 31;
  }
  return h;
}

}  // namespace quorvane::simport
