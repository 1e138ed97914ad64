#pragma once

// The service's working folder: the machine's data folder, Quorvane under
// %ProgramData% (C:\ProgramData\Quorvane), which the installer makes and
// lets the service's account write. Its restart log, Quorvane.log, goes
// there. Windows only.

#include <string>

namespace quorvane::win32_service {

// The data folder's full name: %ProgramData%\Quorvane, found from the
// system's known folder for every account, the service's too (whose
// environment may lack the variable). Throws Failure when there is none.
std::wstring DataFolder();

// Makes the data folder the working folder, found from the system's known
// folder, not from wherever the Service Control Manager started the
// program (the system folder). Throws Failure naming the folder and the
// reason; a missing folder is not made here (its rights are the
// installer's to set).
void WorkInDataFolder();

}  // namespace quorvane::win32_service
