#pragma once

#include <ieee1284.h>
#include <optional>

#include <cstdint>
#include <string>

#include "port_libraries/hardware/ieee1284_calls.h"

namespace quorvane::hardware {

// The conventional first parallel port; the one asked about when the program
// checks that the port is reachable before any read or write.
inline constexpr std::uint16_t kFirstPortBase = 0x378;

// One parallel port reached through libieee1284, addressed like PC I/O
// ports. The first use picks the port by its base address, opens and claims
// it, and keeps it for the life of the process (one process per port: a
// port another process has is refused, never waited for); a failed first use is kept
// too, with its reason, so later calls stay harmless.
class HardwarePort {
 public:
  explicit HardwarePort(Ieee1284Calls& calls);
  ~HardwarePort();
  HardwarePort(const HardwarePort&) = delete;
  HardwarePort& operator=(const HardwarePort&) = delete;

  // Binds the port at the first use (the first port's base when nothing was
  // used yet) and says whether it is ready.
  bool Reachable();

  // Reads a register as the PC port shows it; 0 when it cannot be read, and
  // LastError() then says why.
  std::uint8_t Read(std::uint16_t address);

  // Writes a register as the PC port takes it (a write to the read-only
  // status register is ignored, as the PC port does). When the port is
  // unreachable or the write fails, LastError() says why.
  void Write(std::uint16_t address, std::uint8_t value);

  // Empty after an access that worked; otherwise why the port is not
  // reachable, or why the last access failed.
  const std::string& LastError() const { return lastError_; }

 private:
  enum class State { kUnbound, kBound, kFailed };

  // The bound port when address lies on it, else null (binding at first use).
  parport* PortFor(std::uint16_t address);
  bool Bind(std::uint16_t base);
  // Marks the port as this process's, or fails naming who has it.
  bool Unheld(const parport& port);
  // The kernel's name of the port at `base` (parport0 ...), read from its
  // list without opening the port; none where the kernel lists none there.
  std::optional<std::string> KernelPortNameAt(std::uint16_t base);
  static constexpr int kKernelPortsLooked = 8;
  bool Fail(std::string reason);
  // False, with the reason kept, when a register access failed.
  bool Succeeded(CallResult result, const parport& port, const char* doing);

  Ieee1284Calls& calls_;
  State state_ = State::kUnbound;
  parport_list list_{};
  bool listed_ = false;
  parport* port_ = nullptr;
  std::string lastError_;
};

}  // namespace quorvane::hardware
