#pragma once

// The owner and rights of files and folders, as SDDL text, always of the
// object itself: a link or a junction is looked at and changed as itself,
// never followed. Each call throws Failure naming the path and the
// system's reason. Windows only.

#include <string>
#include <vector>

namespace quorvane::win32_service {

// One entry of a DACL: allowed (or denied) rights for a SID.
struct AccessEntry {
  std::wstring sid;
  bool allows = true;
  // Passed down only, no right on the object itself.
  bool inheritOnly = false;
  unsigned long rights = 0;
};

struct ObjectRights {
  std::wstring ownerSid;
  std::vector<AccessEntry> entries;
  std::wstring sddl;  // owner and DACL, as the system spells them
};

// `sddl` as the system spells it back (owner and DACL only).
std::wstring SystemSpelling(const std::wstring& sddl);
// The SID of the account this process runs as.
std::wstring OwnAccountSid();

ObjectRights ReadRights(const std::wstring& path);
// What `sddl` gives, entry by entry, as ReadRights would read it back.
ObjectRights RightsOf(const std::wstring& sddl);
// Wine keeps no rights of files and folders (it reads back an owner and
// entries made from the Unix mode), nor enforces them.
bool RunsUnderWine();
// Makes the folder with `sddl` as its security descriptor in one step, so
// that nobody has a moment with other rights on it; false (and nothing
// changed) when the name is taken already.
bool MakeFolder(const std::wstring& path, const std::wstring& sddl);
// Sets the owner and DACL `sddl` names; a DACL without "P" takes what the
// folder above passes down, and nothing of its own when empty ("D:").
void SetRights(const std::wstring& path, const std::wstring& sddl);

// The file's or folder's attributes (FILE_ATTRIBUTE_*), without following
// a link; nothing when there is nothing of that name.
bool Exists(const std::wstring& path);
bool IsPlainFolder(const std::wstring& path);
// A plain file with no other name (hard link) than this one.
bool IsPlainFileOfOneName(const std::wstring& path);
// What a folder holds, by name, without "." and "..".
std::vector<std::wstring> FolderEntries(const std::wstring& folder);
// Renames `path` to `to` (a link is moved as itself).
void Rename(const std::wstring& path, const std::wstring& to);

}  // namespace quorvane::win32_service
