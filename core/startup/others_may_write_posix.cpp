// Who may write a folder, from its owner, its mode and its POSIX access
// control list (read with libacl).

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/startup/others_may_write.h"

namespace quorvane {

namespace {

// root may write anywhere whatever the folder says, and the user is not one
// of the others.
bool IsAnother(uid_t user) { return user != 0 && user != ::geteuid(); }

bool Writes(acl_entry_t entry) {
  acl_permset_t permissions = nullptr;
  return ::acl_get_permset(entry, &permissions) == 0 && ::acl_get_perm(permissions, ACL_WRITE) == 1;
}

// What the access control list says, or nothing where the file system keeps
// none or it cannot be read: the mode's group bits then tell, since an
// extended list's mask shows in them (a named entry writes only through it).
enum class ListSays { kOthersWrite, kOnlyTheOwner, kNothing };

ListSays ReadList(const std::filesystem::path& folder) {
  const acl_t list = ::acl_get_file(folder.c_str(), ACL_TYPE_ACCESS);
  if (list == nullptr) return ListSays::kNothing;
  bool othersWrite = false;
  bool maskWrites = true;  // a list without a mask has no named entries
  acl_entry_t entry = nullptr;
  for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(list, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
    acl_tag_t tag = ACL_UNDEFINED_TAG;
    if (::acl_get_tag_type(entry, &tag) != 0) continue;
    switch (tag) {
      case ACL_MASK: maskWrites = Writes(entry); break;
      case ACL_GROUP_OBJ:
      case ACL_GROUP:
        // A group may hold other users, whoever they are today.
        othersWrite = othersWrite || Writes(entry);
        break;
      case ACL_USER:
        if (void* named = ::acl_get_qualifier(entry)) {
          othersWrite = othersWrite || (IsAnother(*static_cast<uid_t*>(named)) && Writes(entry));
          ::acl_free(named);
        }
        break;
      default: break;  // the owner's entry, and the others' (the mode's bits, looked at already)
    }
  }
  ::acl_free(list);
  return othersWrite && maskWrites ? ListSays::kOthersWrite : ListSays::kOnlyTheOwner;
}

}  // namespace

bool OthersMayWrite(const std::filesystem::path& folder) {
  const std::filesystem::path named = folder.empty() ? "." : folder;
  struct stat status {};
  if (::stat(named.c_str(), &status) != 0) return false;
  if (status.st_mode & (S_IWOTH | S_ISVTX)) return true;
  if (IsAnother(status.st_uid)) return true;
  switch (ReadList(named)) {
    case ListSays::kOthersWrite: return true;
    case ListSays::kOnlyTheOwner: return false;
    case ListSays::kNothing: break;
  }
  return (status.st_mode & S_IWGRP) != 0;
}

}  // namespace quorvane
