#pragma once

// Who may do what to the service's folders, and which privileges the
// service keeps: each fact here once, as text the system
// reads (SDDL, privilege names). The service program applies them (its
// --prepare-data-folder, --secure-program-folder and --configure-service
// modes, which the installer runs as an administrator) and reads them back.

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::win32_service {

// The SID of the service's own account, NT SERVICE\<name>, as text
// (S-1-5-80- and the SHA-1 of the name in capitals, UTF-16LE, as five
// little-endian numbers): the same as Windows gives it, known before the
// service exists, and under Wine, which has no such accounts.
std::wstring ServiceSid(std::wstring_view serviceName);

// The machine's data folder: owned by Administrators, nothing inherited;
// full control for the system and administrators; users may list the
// folder and read its attributes, and no right on what is in it (a user
// who could open the log could hold it open and stop every start); the
// service's own SID may list the folder and add files to it, and read and
// write (never delete, nor change the rights of) the files in it.
std::wstring DataFolderRights(std::wstring_view serviceSid);

// The program's folder, where the port library is loaded from: owned by
// Administrators, nothing inherited; full control for the system and
// administrators; users read and run.
std::wstring ProgramFolderRights();

// The only privilege the service keeps (the Service Control Manager takes
// every other out of its token): bypassing the traversal check, without
// which it could not reach the data folder through C:\ProgramData.
std::vector<std::wstring> ServicePrivileges();
// As SERVICE_REQUIRED_PRIVILEGES_INFO takes them: each name and a NUL, and
// one NUL more at the end.
std::wstring AsMultiString(const std::vector<std::wstring>& names);

// Owners a folder may have been made by without anybody else's hand in it:
// the system, administrators, TrustedInstaller, and the installer's own
// account.
std::vector<std::wstring> TrustedOwners(std::wstring_view installersOwnSid);

}  // namespace quorvane::win32_service
