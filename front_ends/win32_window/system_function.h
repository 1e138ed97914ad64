#pragma once

// Functions of newer Windows versions, found at run time so that the
// program still starts on Windows 7, which lacks them.

#include <windows.h>

namespace quorvane::win32 {

// `name` from the system library `module` (already loaded), or nullptr.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
  const HMODULE library = GetModuleHandleW(module);
  if (!library) return nullptr;
  // Through the generic function type: a direct cast between unrelated
  // function types is one the compiler rightly warns about.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace quorvane::win32
