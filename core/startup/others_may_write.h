#pragma once

#include <filesystem>

namespace quorvane {

// Whether users other than this one (root aside) may change what a folder
// holds: a folder anyone may write (such as /tmp, sticky or not), one that
// belongs to another user, one its group may write, or one that an access
// control list entry lets another user or a group write. There a name can be
// made to point at another user's file, by a symbolic or a hard link, or be
// taken by a file of someone else's before ours is made. A folder that
// cannot be examined counts as the user's own: opening a file in it then
// fails with the system's reason. (POSIX systems only.)
bool OthersMayWrite(const std::filesystem::path& folder);

}  // namespace quorvane
