#include "port_libraries/hardware/hardware_port.h"

#include <utility>

#include "port_libraries/hardware/error_texts.h"
#include "port_libraries/hardware/line_levels.h"
#include "port_libraries/hardware/port_mapper.h"

namespace quorvane::hardware {

HardwarePort::HardwarePort(Ieee1284Calls& calls) : calls_(calls) {}

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
  if (state_ == State::kUnbound) return Bind(kFirstPortBase);
  return state_ == State::kBound;
}

std::uint8_t HardwarePort::Read(std::uint16_t address) {
  parport* port = PortFor(address);
  if (!port) return 0;
  int lines = -1;
  switch (SplitAddress(address).reg) {
    case Register::kData:
      lines = calls_.ReadData(*port);
      return lines < 0 ? 0 : static_cast<std::uint8_t>(lines);
    case Register::kStatus:
      lines = calls_.ReadStatus(*port);
      return lines < 0 ? 0 : StatusRegisterFromLines(lines);
    case Register::kControl:
      lines = calls_.ReadControl(*port);
      return lines < 0 ? 0 : ControlRegisterFromLines(lines);
    case Register::kNone:
      break;
  }
  return 0;
}

void HardwarePort::Write(std::uint16_t address, std::uint8_t value) {
  parport* port = PortFor(address);
  if (!port) return;
  switch (SplitAddress(address).reg) {
    case Register::kData:
      calls_.WriteData(*port, value);
      break;
    case Register::kControl:
      calls_.WriteControl(*port, ControlLinesFromRegister(value));
      break;
    case Register::kStatus:  // read-only on a PC port
    case Register::kNone:
      break;
  }
}

parport* HardwarePort::PortFor(std::uint16_t address) {
  const std::uint16_t base = SplitAddress(address).base;
  if (state_ == State::kUnbound) Bind(base);
  if (state_ != State::kBound) return nullptr;
  if (port_->base_addr != base) {
    lastError_ = NotOnBoundPortText(address, *port_);
    return nullptr;
  }
  return port_;
}

bool HardwarePort::Bind(std::uint16_t base) {
  const CallResult listing = calls_.FindPorts(list_);
  if (listing.code != E1284_OK) return Fail(ListingFailedText(listing));
  listed_ = true;

  parport* port = FindPortAt(list_, base);
  if (!port) return Fail(NoPortText(base, list_));

  // No flags: F1284_EXCL would stop libieee1284 from falling back to direct
  // port access when ppdev is missing, and would refuse the port whenever
  // another driver (lp) is registered on it.
  int capabilities = 0;
  const CallResult opened = calls_.Open(*port, 0, &capabilities);
  if (opened.code != E1284_OK) {
    const int deviceError =
        calls_.DeviceAccessError(std::string("/dev/") + (port->name ? port->name : ""));
    return Fail(OpenRefusedText(*port, opened, deviceError));
  }
  if (!(capabilities & CAP1284_RAW)) {
    calls_.Close(*port);
    return Fail(NoPinAccessText(*port));
  }
  const CallResult claimed = calls_.Claim(*port);
  if (claimed.code != E1284_OK) {
    calls_.Close(*port);
    return Fail(ClaimRefusedText(*port, claimed));
  }
  port_ = port;
  state_ = State::kBound;
  lastError_.clear();
  return true;
}

bool HardwarePort::Fail(std::string reason) {
  state_ = State::kFailed;
  lastError_ = std::move(reason);
  return false;
}

}  // namespace quorvane::hardware
