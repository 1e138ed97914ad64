#pragma once

// The service's own SID and privileges, set on the installed service by
// the service program run as an administrator (--configure-service): its
// own SID, NT SERVICE\<name>, in its token (unrestricted), to which alone
// the data folder is granted, and the one privilege it keeps
// (service_rights.h). Returns what it did, for the installer's details; a
// manager that keeps no such setting (Wine's) is said so, not a failure.
// Throws Failure otherwise. Windows only.

#include <string>

namespace quorvane::win32_service {

std::string ConfigureService(const std::wstring& serviceName);

}  // namespace quorvane::win32_service
