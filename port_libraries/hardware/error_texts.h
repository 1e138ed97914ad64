#pragma once

#include <ieee1284.h>

#include <cstdint>
#include <string>

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
