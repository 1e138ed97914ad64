#pragma once

#include <ieee1284.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "port/port_choice.h"

#include "port_libraries/hardware/ieee1284_calls.h"

namespace quorvane::hardware {

// The conventional first parallel port.
inline constexpr std::uint16_t kFirstPortBase = port_choice::kConventionalBase;

// Which port a program's check of reachability binds (port_choice.h); the
// library's own runs the rule over the machine.
using PortChooser = std::function<port_choice::Choice()>;

// One parallel port reached through libieee1284, addressed like PC I/O
// ports. The first use picks the port by its base address, opens and claims
// it, and keeps it for the life of the process (one process per port: a
// port another process has is refused, never waited for); a failed first use is kept
// too, with its reason, so later calls stay harmless.
class HardwarePort {
 public:
  // Without a chooser the check binds the port at kFirstPortBase.
  explicit HardwarePort(Ieee1284Calls& calls, PortChooser choose = {});
  ~HardwarePort();
  HardwarePort(const HardwarePort&) = delete;
  HardwarePort& operator=(const HardwarePort&) = delete;

  // Binds the port at the first use (the chosen port when nothing was used
  // yet; a failure of the choice is its reason) and says whether it is ready.
  bool Reachable();

  // The bound port's base (kFirstPortBase before any), and why that port
  // when the choice had something to say.
  std::uint16_t Base() const { return port_ ? static_cast<std::uint16_t>(port_->base_addr) : kFirstPortBase; }
  const std::string& ChoiceWhy() const { return choiceWhy_; }

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
  PortChooser choose_;
  std::string choiceWhy_;
  State state_ = State::kUnbound;
  parport_list list_{};
  bool listed_ = false;
  parport* port_ = nullptr;
  std::string lastError_;
};

}  // namespace quorvane::hardware
