#pragma once

// Windows only: how DynamicLibrary finds a library, for the tests to take
// each way whichever this Windows has.

#include <string>

namespace quorvane::win32 {

// Where Windows has SetDefaultDllDirectories (Windows 8, and 7 with
// KB2533623; looked up at run time), every later load of the process, the
// loaded libraries' own dependencies too, searches the program's folder
// and the system folder only, and the result is true; elsewhere the
// working folder at least leaves the search order. Both programs call it
// first thing, before anything else is loaded; taking the port library
// calls it again.
bool KeepLoadsToTrustedFolders();

// Loads `fileName` from the program's own folder or the system folder only.
// A bare name: with the loader's search flags where `searchFlags` (Windows 8,
// and 7 with KB2533623), else by the whole name of the file in each folder
// in turn. A name with a folder: that file, a relative one under the
// program's folder. Returns the module, or nullptr with the system's reason;
// `where` names the folders or the file looked at, either way.
void* LoadFromTrustedFolders(const std::string& fileName, bool searchFlags, std::string* where,
                             std::string* reason);

}  // namespace quorvane::win32
