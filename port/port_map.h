#pragma once

#include <cstdint>

// The parallel port as the program uses it. Port numbers and the values the
// program keeps are 16-bit signed, as the port library's operations take them.
namespace quorvane::port_map {

// The conventional first parallel port, 0x378.
inline constexpr std::int16_t kBase = 888;

// Status register: read only; bit 4 (Select, pin 13, not inverted) is the
// request line. The other bits are ignored.
inline constexpr std::int16_t kStatusOffset = 1;
inline constexpr std::int16_t kStatus = kBase + kStatusOffset;  // 889
inline constexpr std::int16_t kRequestMask = 16;

// Control register: written whole with 0 or 1. Bit 0 drives Strobe (pin 1),
// which the port inverts: 1 puts the pin low (idle), 0 puts it high.
// Every other control bit is held at 0.
inline constexpr std::int16_t kControlOffset = 2;
inline constexpr std::int16_t kControl = kBase + kControlOffset;  // 890
inline constexpr std::int16_t kAnswerIdle = 1;
inline constexpr std::int16_t kAnswerActive = 0;

// The data register (kBase + 0) is never read or written.

}  // namespace quorvane::port_map
