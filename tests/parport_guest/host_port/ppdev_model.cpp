#include "tests/parport_guest/host_port/ppdev_model.h"

#include <linux/ioctl.h>
#include <linux/ppdev.h>

#include <cerrno>

#include "port/port_map.h"

namespace quorvane::host_port {

namespace {

// The four control lines; bit 4 (interrupt enable) and bit 5 (direction)
// are the driver's, which ppdev never puts on the port through PPWCONTROL.
constexpr std::uint8_t kControlLines = 0x0F;
constexpr std::uint8_t kStrobeBit = 0x01;  // control bit 0, pin 1, inverted by the port
constexpr auto kSelectBit = static_cast<std::uint8_t>(port_map::kRequestMask);  // status bit 4, pin 13

// The modes that need an EPP or ECP port, which an SPP port has not.
constexpr int kModesNeedingMore = IEEE1284_MODE_EPP | IEEE1284_MODE_EPPSL | IEEE1284_MODE_EPPSWE |
                                  IEEE1284_MODE_ECP | IEEE1284_MODE_ECPRLE | IEEE1284_MODE_ECPSWE |
                                  IEEE1284_MODE_BECP;

IoctlResult Failed(int error) { return {-1, error}; }

std::uint8_t Byte(const void* argument) { return *static_cast<const std::uint8_t*>(argument); }

}  // namespace

IoctlResult PpdevModel::Ioctl(unsigned long request, void* argument) {
  // What ppdev answers whether or not the port is claimed.
  switch (request) {
    case PPCLAIM: return Claim();
    case PPSETMODE: return SetMode(*static_cast<const int*>(argument));
    case PPGETMODE: *static_cast<int*>(argument) = mode_; return {};
    case PPGETMODES:
      *static_cast<unsigned*>(argument) = PARPORT_MODE_PCSPP | PARPORT_MODE_TRISTATE;
      return {};
    default: break;
  }
  if (!claimed_) return Failed(EINVAL);  // ppdev: "claim the port first"
  return Registers(request, argument);
}

IoctlResult PpdevModel::Claim() {
  if (claimed_) return Failed(EINVAL);  // ppdev: already claimed
  if (!port_) {
    claimFailure_.clear();
    port_ = opener_(&claimFailure_);
    if (!port_) return Failed(EBUSY);
  }
  claimed_ = true;
  return {};
}

IoctlResult PpdevModel::SetMode(int mode) {
  if (mode & kModesNeedingMore) return Failed(EINVAL);
  mode_ = mode;
  return {};
}

IoctlResult PpdevModel::Registers(unsigned long request, void* argument) {
  switch (request) {
    case PPRELEASE: claimed_ = false; return {};
    case PPRSTATUS: {
      std::uint8_t status = Read(port_map::kStatus);
      if (loopback_) {
        const bool strobePinLow = Read(port_map::kControl) & kStrobeBit;
        status = strobePinLow ? status & ~kSelectBit : status | kSelectBit;
      }
      *static_cast<std::uint8_t*>(argument) = status;
      return {};
    }
    case PPRCONTROL:
      *static_cast<std::uint8_t*>(argument) = Read(port_map::kControl) & kControlLines;
      return {};
    case PPWCONTROL: Write(port_map::kControl, Byte(argument) & kControlLines); return {};
    case PPRDATA:
      // Forward, the port reads back its own latch; reversed, the lines as
      // the other side drives them. The simulated port has one register for both.
      *static_cast<std::uint8_t*>(argument) = Read(port_map::kBase);
      return {};
    case PPWDATA:
      dataLatch_ = Byte(argument);
      if (!reverse_) Write(port_map::kBase, dataLatch_);
      return {};
    case PPDATADIR: {
      const bool reverse = *static_cast<const int*>(argument) != 0;
      // Turned forward again, the port drives its latch onto the lines.
      if (reverse_ && !reverse) Write(port_map::kBase, dataLatch_);
      reverse_ = reverse;
      return {};
    }
    default: return Failed(ENOTTY);
  }
}

std::uint8_t PpdevModel::Read(std::int16_t port) const {
  return static_cast<std::uint8_t>(port_->read(port) & 0xFF);
}

void PpdevModel::Write(std::int16_t port, std::uint8_t value) const { port_->write(port, value); }

}  // namespace quorvane::host_port
