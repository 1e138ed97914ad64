#pragma once

// The folders' owner and rights, set by the service program run as an
// administrator by the installer (before any file is placed), so that
// nobody who made a folder of that name first keeps a hand in it. Each
// returns what it did, for the installer's details, and throws Failure
// when it refuses. Windows only.

#include <string>

namespace quorvane::win32_service {

// The machine's data folder: made in one step with its owner and rights
// (service_rights.h) when missing. One already there is kept, its rights
// set anew and what it holds made to take the folder's, only when no
// other account could have had a hand in it (the owner an administrator,
// the system or the installer's own account; nobody else allowed more than
// reading; nothing in it but the service's own plain files); otherwise it
// is moved aside, to "<folder>.moved-aside-<n>", and a new one made. A
// link, a junction or a file of that name is refused: what it leads to
// is not ours to move. The owner and rights are read back and compared
// with those asked for.
std::string PrepareDataFolder(const std::wstring& folder, const std::wstring& serviceSid);

// The program's folder, where the port library is loaded from: given its
// owner and rights (read back), passed down to what it holds. Refused
// when another account could have had a hand in it (as above), since
// something may have been planted in it already.
std::string SecureProgramFolder(const std::wstring& folder);

}  // namespace quorvane::win32_service
