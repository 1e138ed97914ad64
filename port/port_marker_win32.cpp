// Windows: the port's mark is a named mutex in the global namespace, seen
// from every session; merely having it open is the mark (it is never
// waited for), and the system closes it when the process ends.
//
// Who may create it first: any user, since every user may use the port with
// inpout32 (its driver opens the ports to every user once installed). A
// user who took the name first could equally drive the port himself, so the
// name shuts out nobody who could not be shut out anyway. What the mark can
// do is name the truth: anybody may read who made it (its owner), so a
// copy turned away names the account that holds it, and a name taken by
// something that lets nobody read that is told as such, not as a copy of
// Quorvane for certain.

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "common/windows_text.h"
#include "port/port_marker.h"

namespace quorvane {

namespace {

// One for the process, for its whole life.
HANDLE mark = nullptr;

// Full control (MUTEX_ALL_ACCESS) for the system and administrators, and
// for everyone the right to read who made it (READ_CONTROL); the creator
// holds its own handle whatever these say.
constexpr wchar_t kMarkRights[] = L"D:(A;;0x1f0001;;;SY)(A;;0x1f0001;;;BA)(A;;0x20000;;;WD)";

// The account that made the mark `name`, as DOMAIN\name (or its SID), or
// "" when it may not be read.
std::string Holder(const std::wstring& name) {
  const HANDLE held = OpenMutexW(READ_CONTROL, FALSE, name.c_str());
  if (!held) return {};
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetSecurityInfo(held, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                      nullptr, nullptr, &descriptor);
  CloseHandle(held);
  if (error != ERROR_SUCCESS || !owner) return {};
  std::string account;
  wchar_t user[256] = {};
  wchar_t domain[256] = {};
  DWORD userSize = 256;
  DWORD domainSize = 256;
  SID_NAME_USE use{};
  wchar_t* sid = nullptr;
  if (LookupAccountSidW(nullptr, owner, user, &userSize, domain, &domainSize, &use))
    account = win32::Utf8(domain[0] ? std::wstring(domain) + L"\\" + user : std::wstring(user));
  else if (ConvertSidToStringSidW(owner, &sid))
    account = win32::Utf8(sid);
  LocalFree(sid);
  LocalFree(descriptor);
  return account;
}

}  // namespace

std::string TakePortMark(std::int16_t base) {
  if (mark) return {};
  const std::wstring name =
      L"Global\\Quorvane parallel port " + std::to_wstring(static_cast<std::uint16_t>(base));
  PSECURITY_DESCRIPTOR rights = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kMarkRights, SDDL_REVISION_1, &rights, nullptr))
    return "cannot spell the rights of the parallel port's mark: " + win32::LastSystemErrorText();
  SECURITY_ATTRIBUTES attributes{sizeof attributes, rights, FALSE};
  const HANDLE handle = CreateMutexW(&attributes, FALSE, name.c_str());
  const DWORD error = GetLastError();
  LocalFree(rights);
  const std::string port = "the parallel port at " + std::to_string(static_cast<std::uint16_t>(base));
  if (!handle && error != ERROR_ACCESS_DENIED)
    return "cannot mark " + port + " as taken: " + win32::SystemErrorText(error);
  if (handle && error != ERROR_ALREADY_EXISTS) {
    mark = handle;
    return {};
  }
  if (handle) CloseHandle(handle);
  // Taken: by a copy that lets us open it (the same account, or we are an
  // administrator), or by one whose rights shut us out.
  const std::string markName = " took the name of Quorvane's mark (" + win32::Utf8(name) + ")";
  const std::string holder = Holder(name);
  if (!holder.empty())
    return port + " is held by another program: another copy of Quorvane runs as " + holder +
           ", or a program of that account" + markName;
  return port + " is held by another program: another copy of Quorvane runs in another user's session, or " +
         "a program of another user" + markName;
}

}  // namespace quorvane
