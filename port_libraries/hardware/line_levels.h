#pragma once

#include <cstdint>

// The one place where PC register values and IEEE 1284 line values meet.
// A PC-style port inverts some lines in hardware: in the status register
// Busy (bit 7) reads 0 when its pin is high; in the control register Strobe
// (bit 0), Auto Feed (bit 1) and Select In (bit 3) drive their pins low when
// set. libieee1284 reads and writes line values (1 = pin high) and names the
// differing bits S1284_INVERTED and C1284_INVERTED.
namespace quorvane::hardware {

// The status register as the PC port shows it, from libieee1284's status
// lines: Select high (0x10) reads as bit 4 set.
std::uint8_t StatusRegisterFromLines(int lines);

// The control lines libieee1284 must drive for a PC control register value:
// register value 1 puts Strobe low, 0 puts it high. Only the four control
// lines (bits 0 to 3) exist as lines; interrupt enable and data direction
// (bits 4 and 5) are left as the port driver set them.
std::uint8_t ControlLinesFromRegister(std::uint8_t value);

// The control register as the PC port shows it, from libieee1284's lines.
std::uint8_t ControlRegisterFromLines(int lines);

}  // namespace quorvane::hardware
