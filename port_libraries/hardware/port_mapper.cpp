#include "port_libraries/hardware/port_mapper.h"

#include <cstring>

namespace quorvane::hardware {

PortAddress SplitAddress(std::uint16_t address) {
  static constexpr Register kByOffset[] = {Register::kData, Register::kStatus, Register::kControl,
                                           Register::kNone};
  return {static_cast<std::uint16_t>(address & ~0x3u), kByOffset[address & 0x3u]};
}

bool IsListedByKernel(const parport& port) {
  return port.name != nullptr && std::strncmp(port.name, "0x", 2) != 0;
}

std::string DeviceNode(const parport& port) { return std::string("/dev/") + (port.name ? port.name : ""); }

std::string ActiveDevicePath(const parport& port) {
  return std::string("/proc/sys/dev/parport/") + (port.name ? port.name : "") + "/devices/active";
}

parport* FindPortAt(const parport_list& list, std::uint16_t base) {
  for (int i = 0; i < list.portc; ++i) {
    parport* port = list.portv[i];
    if (port && IsListedByKernel(*port) && port->base_addr == base) return port;
  }
  return nullptr;
}

}  // namespace quorvane::hardware
