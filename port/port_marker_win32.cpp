// Windows: the port's mark is a named mutex in the global namespace, seen
// from every session; merely having it open is the mark (it is never
// waited for), and the system closes it when the process ends.
//
// Who may create it first: any user, since every user may use the port with
// inpout32 (its driver opens the ports to every user once installed). A
// user who took the name first could equally drive the port himself, so the
// name shuts out nobody who could not be shut out anyway.

#include <windows.h>

#include "common/windows_text.h"
#include "port/port_marker.h"

namespace quorvane {

namespace {

// One for the process, for its whole life.
HANDLE mark = nullptr;

}  // namespace

std::string TakePortMark(std::int16_t base) {
  if (mark) return {};
  const std::wstring name =
      L"Global\\Quorvane parallel port " + std::to_wstring(static_cast<std::uint16_t>(base));
  const HANDLE handle = CreateMutexW(nullptr, FALSE, name.c_str());
  const DWORD error = GetLastError();
  std::string held = "the parallel port at " + std::to_string(static_cast<std::uint16_t>(base)) +
                     " is held by another program: another copy of Quorvane runs";
  // The creator's default security shuts other users out of its mutex: a
  // copy in another user's session.
  if (!handle && error == ERROR_ACCESS_DENIED) return held + " in another user's session";
  if (!handle)
    return "cannot mark the parallel port at " + std::to_string(static_cast<std::uint16_t>(base)) +
           " as taken: " + win32::SystemErrorText(error);
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(handle);
    return held;
  }
  mark = handle;
  return {};
}

}  // namespace quorvane
