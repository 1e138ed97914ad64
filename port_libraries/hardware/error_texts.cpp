#include "port_libraries/hardware/error_texts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/foreign_name.h"
#include "port_libraries/hardware/port_mapper.h"

namespace quorvane::hardware {

namespace {

std::string Hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%lx", value);
  return text;
}

std::string Name(const parport& port) { return port.name ? port.name : "the parallel port"; }

std::string LibraryError(int code) {
  switch (code) {
    case E1284_NOMEM: return "out of memory";
    case E1284_NOTAVAIL: return "not available on this system";
    case E1284_INVALIDPORT: return "invalid or already open port";
    case E1284_NOTIMPL: return "not implemented by libieee1284";
    case E1284_SYS: return "system error";
    default: return "libieee1284 error " + std::to_string(code);
  }
}

// The start every refusal of a port someone else has shares.
std::string HeldText(const parport& port) { return Name(port) + " is held by another program: "; }

bool IsPermission(int error) { return error == EACCES || error == EPERM; }

std::string PermissionText(const std::string& node) {
  return "permission denied on " + node + ": add the user to group lp (then log in again)";
}

}  // namespace

std::string ListingFailedText(CallResult result) {
  return "cannot list the parallel ports: " + LibraryError(result.code);
}

std::string NoPortText(std::uint16_t base, const parport_list& list) {
  std::string found;
  for (int i = 0; i < list.portc; ++i) {
    const parport* port = list.portv[i];
    if (!port || !IsListedByKernel(*port)) continue;
    found += (found.empty() ? "" : ", ") + Name(*port) + " at " + Hex(port->base_addr);
  }
  const std::string head = "no parallel port at " + Hex(base);
  if (found.empty())
    return head +
           " (no parallel ports found; check /proc/sys/dev/parport, load the parport_pc "
           "module)";
  return head + " (found: " + found + ")";
}

std::string OpenRefusedText(const parport& port, CallResult result, int deviceError) {
  const std::string node = DeviceNode(port);
  if (result.code == E1284_INIT || result.code == E1284_SYS) {
    // libieee1284 tries ppdev first and then direct port access; only the
    // first is open to a normal user, so the device node tells the reason.
    if (IsPermission(deviceError)) return PermissionText(node);
    if (deviceError == ENOENT || deviceError == ENXIO || deviceError == ENODEV)
      return "cannot open " + Name(port) + ": no device " + node + " (load the ppdev module: modprobe ppdev)";
    if (IsPermission(result.error)) return PermissionText(node);
    if (result.error == EBUSY) return "cannot open " + Name(port) + ": it is in use by another program";
    if (result.error != 0) return "cannot open " + Name(port) + ": " + std::strerror(result.error);
    return "cannot open " + Name(port) + " (libieee1284 could not set it up)";
  }
  return "cannot open " + Name(port) + ": " + LibraryError(result.code);
}

std::string ClaimRefusedText(const parport& port, CallResult result) {
  if (result.code == E1284_SYS) {
    // ppdev refuses a claim when another driver holds the port exclusively.
    if (result.error == EBUSY || result.error == ENXIO || result.error == EAGAIN)
      return "cannot claim " + Name(port) + ": it is in use by another program";
    if (IsPermission(result.error)) return PermissionText(DeviceNode(port));
    if (result.error != 0) return "cannot claim " + Name(port) + ": " + std::strerror(result.error);
  }
  return "cannot claim " + Name(port) + ": " + LibraryError(result.code);
}

std::string LockedByAnotherText(const parport& port, const exclusive::HoldAttempt& hold) {
  return HeldText(port) + exclusive::LockedByText(hold, DeviceNode(port));
}

std::string LockRefusedText(const parport& port, int error) {
  if (IsPermission(error)) return PermissionText(DeviceNode(port));
  return "cannot lock " + DeviceNode(port) + ": " + std::strerror(error);
}

std::string ClaimedByAnotherText(const parport& port, const std::string& holder, const std::string& source) {
  // The entry is the holder's own name for itself: shown as text.
  return HeldText(port) + source + " names " + QuotedForeignName(holder);
}

std::string NoPinAccessText(const parport& port) {
  return Name(port) + " offers no pin-level access to its status and control lines";
}

std::string NotOnBoundPortText(std::uint16_t address, const parport& port) {
  return "address " + Hex(address) + " is not on " + Name(port) + " at " + Hex(port.base_addr) +
         ", the port in use";
}

std::string AccessFailedText(const parport& port, const std::string& doing, CallResult result) {
  const std::string head = doing + " of " + Name(port) + " failed";
  if (IsPermission(result.error)) return head + ": " + PermissionText(DeviceNode(port));
  if (result.error != 0) return head + ": " + std::strerror(result.error);
  // No errno: typically a device node with no working driver behind it.
  return head + " (" + LibraryError(result.code) +
         ", no reason given): check that the parport_pc and ppdev modules are loaded (lsmod | grep "
         "parport), that the port is enabled in the firmware setup, and that /proc/sys/dev/parport "
         "lists " +
         Name(port);
}

std::string NoSuchRegisterText(std::uint16_t address, const parport& port) {
  return "address " + Hex(address) +
         " is not a register this library reaches: only data, status and "
         "control, at " +
         Hex(port.base_addr) + " to " + Hex(port.base_addr + 2) + " on " + Name(port);
}

}  // namespace quorvane::hardware
