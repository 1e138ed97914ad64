#pragma once

// The host's ppdev node of a plain (SPP) parallel port, as QEMU's
// pass-through parallel device drives it, answered from a port library's
// Inp32 and Out32 instead of hardware: the status, control and data
// registers and the data direction. One model per open node, as ppdev keeps
// its state per open file. Knows nothing of descriptors or of how the
// library is loaded (host_port_preload.cpp does both), so a test feeds it
// directly.
//
// What it answers as the kernel's ppdev does on such a port: every register
// ioctl fails with EINVAL before PPCLAIM and after PPRELEASE; PPWCONTROL
// drives only the four control lines (the interrupt and direction bits
// QEMU passes along are the driver's, not lines); PPRCONTROL gives those
// four lines back. EPP and ECP modes are refused, as the port has neither,
// so QEMU's EPP register accesses come to nothing.
//
// The loopback plug: a wire from Strobe (pin 1) to Select (pin 13). Strobe
// is inverted by the port, so control bit 0 at 1 puts pin 1 low and status
// bit 4 reads 0; at 0, status bit 4 reads 1. The other status bits are the
// port's own.

#include <linux/parport.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "port/inpout_abi.h"

namespace quorvane::host_port {

struct PortFunctions {
  Inp32Function read = nullptr;
  Out32Function write = nullptr;
};

// What an ioctl returns: 0 (or a value) on success; -1 with `error` as errno.
struct IoctlResult {
  int value = 0;
  int error = 0;
};

class PpdevModel {
 public:
  // Opens the port at PPCLAIM: its functions, or nullopt with why it
  // cannot be had in `why`.
  using PortOpener = std::function<std::optional<PortFunctions>(std::string* why)>;

  PpdevModel(PortOpener opener, bool loopback) : opener_(std::move(opener)), loopback_(loopback) {}

  // One ioctl on the node; `argument` is the pointer the caller passed.
  IoctlResult Ioctl(unsigned long request, void* argument);

  // Why the last PPCLAIM failed, for the message on stderr.
  const std::string& ClaimFailure() const { return claimFailure_; }

 private:
  IoctlResult Claim();
  IoctlResult SetMode(int mode);
  IoctlResult Registers(unsigned long request, void* argument);
  std::uint8_t Read(std::int16_t port) const;
  void Write(std::int16_t port, std::uint8_t value) const;

  PortOpener opener_;
  bool loopback_;
  std::optional<PortFunctions> port_;  // opened at the first claim, kept after
  bool claimed_ = false;
  int mode_ = IEEE1284_MODE_COMPAT;  // the IEEE 1284 mode last set
  bool reverse_ = false;             // PPDATADIR: the peripheral drives the data lines
  std::uint8_t dataLatch_ = 0;       // the last byte written, driven again when forward
  std::string claimFailure_;
};

}  // namespace quorvane::host_port
