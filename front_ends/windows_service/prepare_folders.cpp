#include "front_ends/windows_service/prepare_folders.h"

#include <algorithm>
#include <vector>

#include "common/failure.h"
#include "common/windows_text.h"
#include "front_ends/windows_service/folder_security.h"
#include "front_ends/windows_service/service_rights.h"

namespace quorvane::win32_service {

namespace {

// What the service writes in its folder; nothing else belongs there.
const std::vector<std::wstring> kServiceFiles = {L"Quorvane.log", L"last-failure.txt"};
// LocalService, the service's account, which owns what the service makes.
constexpr wchar_t kLocalService[] = L"S-1-5-19";
// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, GENERIC_READ, GENERIC_EXECUTE:
// rights that change nothing.
constexpr unsigned long kReadOnly = 0x1200a9UL | 0x80000000UL | 0x20000000UL;

bool IsIn(const std::vector<std::wstring>& sids, const std::wstring& sid) {
  return std::find(sids.begin(), sids.end(), sid) != sids.end();
}

// Why another account than `trusted` could have had a hand in the object,
// or "" when none could.
std::string ForeignHand(const ObjectRights& rights, const std::vector<std::wstring>& trusted) {
  if (!IsIn(trusted, rights.ownerSid)) return "its owner is " + win32::Utf8(rights.ownerSid);
  for (const AccessEntry& entry : rights.entries)
    if (entry.allows && !entry.inheritOnly && !IsIn(trusted, entry.sid) && (entry.rights & ~kReadOnly) != 0)
      return win32::Utf8(entry.sid) + " may change it";
  return {};
}

std::string WhyNotOurs(const std::wstring& folder, const std::wstring& serviceSid) {
  const std::vector<std::wstring> trusted = TrustedOwners(OwnAccountSid());
  if (std::string why = ForeignHand(ReadRights(folder), trusted); !why.empty()) return why;
  std::vector<std::wstring> service = trusted;
  service.insert(service.end(), {kLocalService, serviceSid});
  for (const std::wstring& name : FolderEntries(folder)) {
    std::wstring path = folder;
    path += L"\\" + name;
    if (!IsIn(kServiceFiles, name) || !IsPlainFileOfOneName(path))
      return "it holds " + win32::Utf8(name) + ", which the installer did not put there";
    if (std::string why = ForeignHand(ReadRights(path), service); !why.empty())
      return "of " + win32::Utf8(name) + ", " + why;
  }
  return {};
}

// The first free "<folder>.moved-aside-<n>".
std::wstring FreeNameBeside(const std::wstring& folder) {
  for (int n = 1;; ++n) {
    std::wstring name = folder + L".moved-aside-" + std::to_wstring(n);
    if (!Exists(name)) return name;
  }
}

// The owner and rights read back must be those asked for; "" when they
// are, a note when the system keeps none (Wine).
std::string CheckRights(const std::wstring& folder, const std::wstring& sddl) {
  const std::wstring read = ReadRights(folder).sddl;
  const std::wstring asked = SystemSpelling(sddl);
  if (read == asked) return {};
  const std::string differ = " read back as " + win32::Utf8(read) + ", not as set: " + win32::Utf8(asked);
  if (RunsUnderWine()) return " (Wine keeps no folder rights: they" + differ + ")";
  throw Failure("the rights of " + win32::Utf8(folder) + differ);
}

}  // namespace

std::string PrepareDataFolder(const std::wstring& folder, const std::wstring& serviceSid) {
  const std::wstring rights = DataFolderRights(serviceSid);
  std::string done;
  if (Exists(folder) && !IsPlainFolder(folder))
    throw Failure(win32::Utf8(folder) +
                  " is a link, a junction or a file, not a folder: remove it, then install again");
  if (Exists(folder)) {
    if (const std::string why = WhyNotOurs(folder, serviceSid); !why.empty()) {
      const std::wstring aside = FreeNameBeside(folder);
      Rename(folder, aside);
      done = win32::Utf8(folder) + " was moved aside to " + win32::Utf8(aside) + " (" + why + "); ";
    } else {
      SetRights(folder, rights);
      // Only the rights the folder passes down; owned by administrators.
      for (const std::wstring& name : FolderEntries(folder)) {
        std::wstring path = folder;
        path += L"\\" + name;
        SetRights(path, L"O:BAD:");
      }
      done = "the rights of " + win32::Utf8(folder) + " were set anew";
    }
  }
  if (!Exists(folder)) {
    if (!MakeFolder(folder, rights))
      throw Failure(win32::Utf8(folder) + " was made by someone else while it was being set up");
    done += win32::Utf8(folder) + " was made";
  }
  return done + CheckRights(folder, rights);
}

std::string SecureProgramFolder(const std::wstring& folder) {
  if (const std::string why = IsPlainFolder(folder)
                                  ? ForeignHand(ReadRights(folder), TrustedOwners(OwnAccountSid()))
                                  : "it is a link, a junction or a file, not a folder";
      !why.empty())
    throw Failure(win32::Utf8(folder) +
                  " cannot hold the program: another account may have put files there (" + why +
                  "); choose a folder an administrator made");
  SetRights(folder, ProgramFolderRights());
  return "the rights of " + win32::Utf8(folder) + " were set" + CheckRights(folder, ProgramFolderRights());
}

}  // namespace quorvane::win32_service
