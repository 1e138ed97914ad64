#pragma once

// SHA-1 of a run of bytes: Windows names a service's own account
// (NT SERVICE\<name>) by the SHA-1 of its name, and the installer needs
// that name's SID before the service exists to grant it the data folder.
// Not for anything that must resist a forger: the name is public anyway.

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvane::win32_service {

std::array<std::uint8_t, 20> Sha1(std::string_view bytes);

}  // namespace quorvane::win32_service
