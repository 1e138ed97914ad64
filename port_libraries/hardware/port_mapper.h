#pragma once

#include <ieee1284.h>

#include <cstdint>
#include <optional>
#include <string>

// From an I/O address to the port and register it names. A PC parallel port
// has its data, status and control registers at base + 0, 1 and 2, and its
// base on a 4-byte boundary (0x378, 0x278, 0x3bc), so 888, 889 and 890 all
// belong to the port whose base is 0x378.
namespace quorvane::hardware {

enum class Register { kData, kStatus, kControl, kNone };

struct PortAddress {
  std::uint16_t base;
  Register reg;
};

PortAddress SplitAddress(std::uint16_t address);

// The port libieee1284 listed at this base, or null. Ports that libieee1284
// only guessed (named by their address, e.g. "0x378", when the kernel lists
// none) are not taken: with no port there, reads would float at 0xFF and
// look like a raised request line.
parport* FindPortAt(const parport_list& list, std::uint16_t base);

// True for a port the kernel listed (parport0 ...), false for a guess.
bool IsListedByKernel(const parport& port);

// The kernel's files for a listed port: its ppdev node (/dev/parport0), and
// the entry naming the driver or ppdev client that holds it now, "none" when
// free (/proc/sys/dev/parport/parport0/devices/active).
std::string DeviceNode(const parport& port);
std::string ActiveDevicePath(const parport& port);

}  // namespace quorvane::hardware
