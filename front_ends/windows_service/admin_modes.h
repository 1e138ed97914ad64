#pragma once

// What the installer runs the service program for, as an administrator,
// on its command line (see service_rights.h for the rights):
//
//   --prepare-data-folder           the machine's data folder
//   --secure-program-folder FOLDER  the folder the program is installed in
//   --configure-service             the installed service's SID and privileges
//
// Each writes what it did on standard output, or why it refused on
// standard error; exit status 0 when done, 1 when refused, 2 on bad usage.

#include <optional>

namespace quorvane::win32_service {

// The mode's exit status, or nothing when the command line names no mode
// (the Service Control Manager starts the service with none).
std::optional<int> RunAdminMode(int argc, wchar_t** argv);

}  // namespace quorvane::win32_service
