#include "port_libraries/hardware/hardware_port.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

#include "port/kernel_ports.h"
#include "port_libraries/hardware/error_texts.h"
#include "port_libraries/hardware/line_levels.h"
#include "port_libraries/hardware/port_mapper.h"

namespace quorvane::hardware {

HardwarePort::HardwarePort(Ieee1284Calls& calls, PortChooser choose)
    : calls_(calls), choose_(std::move(choose)) {}

HardwarePort::~HardwarePort() {
  // Releasing the port leaves its lines as they are: the control register
  // keeps its last value after the program ends.
  if (port_) {
    calls_.Release(*port_);
    calls_.Close(*port_);
  }
  if (listed_) calls_.FreePorts(list_);
}

bool HardwarePort::Reachable() {
  if (state_ == State::kUnbound) {
    if (!choose_) return Bind(kFirstPortBase);
    const port_choice::Choice choice = choose_();
    if (!choice.ok) return Fail(choice.failure);
    choiceWhy_ = choice.why;
    return Bind(choice.base);
  }
  return state_ == State::kBound;
}

std::uint8_t HardwarePort::Read(std::uint16_t address) {
  parport* port = PortFor(address);
  if (!port) return 0;
  int lines = 0;
  switch (SplitAddress(address).reg) {
    case Register::kData:
      if (!Succeeded(calls_.ReadData(*port, &lines), *port, "reading the data lines")) return 0;
      return static_cast<std::uint8_t>(lines);
    case Register::kStatus:
      if (!Succeeded(calls_.ReadStatus(*port, &lines), *port, "reading the status lines")) return 0;
      return StatusRegisterFromLines(lines);
    case Register::kControl:
      if (!Succeeded(calls_.ReadControl(*port, &lines), *port, "reading the control lines")) return 0;
      return ControlRegisterFromLines(lines);
    case Register::kNone: break;
  }
  lastError_ = NoSuchRegisterText(address, *port);
  return 0;
}

void HardwarePort::Write(std::uint16_t address, std::uint8_t value) {
  parport* port = PortFor(address);
  if (!port) return;
  switch (SplitAddress(address).reg) {
    case Register::kData: Succeeded(calls_.WriteData(*port, value), *port, "writing the data lines"); return;
    case Register::kControl:
      Succeeded(calls_.WriteControl(*port, ControlLinesFromRegister(value)), *port,
                "writing the control lines");
      return;
    case Register::kStatus:  // read-only on a PC port, which ignores a write there
      return;
    case Register::kNone: break;
  }
  lastError_ = NoSuchRegisterText(address, *port);
}

bool HardwarePort::Succeeded(CallResult result, const parport& port, const char* doing) {
  if (result.code == E1284_OK) return true;
  lastError_ = AccessFailedText(port, doing, result);
  return false;
}

parport* HardwarePort::PortFor(std::uint16_t address) {
  const std::uint16_t base = SplitAddress(address).base;
  if (state_ == State::kUnbound) Bind(base);
  if (state_ != State::kBound) return nullptr;
  if (port_->base_addr != base) {
    lastError_ = NotOnBoundPortText(address, *port_);
    return nullptr;
  }
  lastError_.clear();  // this access starts clean; only its own failure shows
  return port_;
}

bool HardwarePort::Bind(std::uint16_t base) {
  // Marked as ours before libieee1284 lists the ports: its listing opens
  // and probes the ppdev nodes, which waits on a port another program has
  // claimed (and freezes that program meanwhile). The kernel's own list
  // names the port at this base without touching it.
  bool held = false;
  if (const auto name = KernelPortNameAt(base)) {
    parport named{};
    named.name = name->c_str();
    named.base_addr = base;
    if (!Unheld(named)) return false;
    held = true;
  }

  const CallResult listing = calls_.FindPorts(list_);
  if (listing.code != E1284_OK) return Fail(ListingFailedText(listing));
  listed_ = true;

  parport* port = FindPortAt(list_, base);
  if (!port) return Fail(NoPortText(base, list_));
  if (!held && !Unheld(*port)) return false;

  // No flags: F1284_EXCL would stop libieee1284 from falling back to direct
  // port access when ppdev is missing, and would refuse the port whenever
  // another driver (lp) is registered on it.
  int capabilities = 0;
  const CallResult opened = calls_.Open(*port, 0, &capabilities);
  if (opened.code != E1284_OK) {
    const int deviceError = calls_.DeviceAccessError(DeviceNode(*port));
    return Fail(OpenRefusedText(*port, opened, deviceError));
  }
  // Claimed before the pin check: a port someone else holds is told as
  // held, whatever libieee1284 could offer on it.
  const CallResult claimed = calls_.Claim(*port);
  if (claimed.code != E1284_OK) {
    calls_.Close(*port);
    return Fail(ClaimRefusedText(*port, claimed));
  }
  if (!(capabilities & CAP1284_RAW)) {
    calls_.Release(*port);
    calls_.Close(*port);
    return Fail(NoPinAccessText(*port));
  }
  port_ = port;
  state_ = State::kBound;
  lastError_.clear();
  return true;
}

std::optional<std::string> HardwarePort::KernelPortNameAt(std::uint16_t base) {
  // /proc/sys/dev/parport/parportN/base-addr: the base, then the ECR base.
  for (int number = 0; number < kKernelPortsLooked; ++number) {
    const std::string name = "parport" + std::to_string(number);
    const auto text = calls_.ReadSystemFile("/proc/sys/dev/parport/" + name + "/base-addr");
    if (!text) continue;
    char* end = nullptr;
    const unsigned long listed = std::strtoul(text->c_str(), &end, 10);
    if (end != text->c_str() && listed == base) return name;
  }
  return std::nullopt;
}

bool HardwarePort::Unheld(const parport& port) {
  // One copy per port: the flock on the node marks the port as ours until
  // this process ends. Without a node (no ppdev) there is nothing to mark;
  // libieee1284 then falls back to direct port access, which only root has.
  const exclusive::HoldAttempt hold = calls_.HoldDevice(DeviceNode(port));
  if (hold.error == EWOULDBLOCK) return Fail(LockedByAnotherText(port, hold));
  if (hold.error != 0 && hold.error != ENOENT && hold.error != ENXIO && hold.error != ENODEV)
    return Fail(LockRefusedText(port, hold.error));

  // A port that a driver or another ppdev client has claimed: ppdev's claim
  // would wait for it without end, and would wait under the one lock that
  // every ppdev call of every process takes, freezing the port's other
  // users (a running copy's answer) meanwhile. Asked first, so the claim
  // can only wait on a holder that claimed it in the instant since.
  const std::string source = ActiveDevicePath(port);
  if (const auto active = calls_.ReadSystemFile(source)) {
    const std::string holder = FirstWord(*active);
    if (!holder.empty() && holder != "none") return Fail(ClaimedByAnotherText(port, holder, source));
  }
  return true;
}

bool HardwarePort::Fail(std::string reason) {
  state_ = State::kFailed;
  lastError_ = std::move(reason);
  return false;
}

}  // namespace quorvane::hardware
