#pragma once

#include <ieee1284.h>

#include <cstdint>
#include <string>

#include "port_libraries/exclusive_hold/exclusive_hold.h"
#include "port_libraries/hardware/ieee1284_calls.h"

// Why the port cannot be reached, in words a user can act on. These texts
// reach the program's message box through InpOutLastError.
namespace quorvane::hardware {

std::string ListingFailedText(CallResult result);

// Names the ports that do exist, or says there are none.
std::string NoPortText(std::uint16_t base, const parport_list& list);

// deviceError is the errno of checking /dev/<port name> for reading and
// writing (0 when that is allowed).
std::string OpenRefusedText(const parport& port, CallResult result, int deviceError);

std::string ClaimRefusedText(const parport& port, CallResult result);

// Another process holds the flock on the port's device node: another copy
// of this program, or anything else that marks the port so.
std::string LockedByAnotherText(const parport& port, const exclusive::HoldAttempt& hold);

// Why the device node could not be opened for its lock (an error other than
// a missing node, which leaves libieee1284 its fallback).
std::string LockRefusedText(const parport& port, int error);

// The port's kernel entry (source) names the driver or ppdev client that has
// it claimed now.
std::string ClaimedByAnotherText(const parport& port, const std::string& holder, const std::string& source);

std::string NoPinAccessText(const parport& port);

std::string NotOnBoundPortText(std::uint16_t address, const parport& port);

// A register access that failed on a bound port; doing says which ("reading
// the status lines"). Where libieee1284 gives no reason, the text says what
// the user can check.
std::string AccessFailedText(const parport& port, const std::string& doing, CallResult result);

// The fourth address of a port (base + 3), which a PC port reaches only in
// EPP mode.
std::string NoSuchRegisterText(std::uint16_t address, const parport& port);

}  // namespace quorvane::hardware
