#pragma once

// Texts between our UTF-8 and the Windows API's UTF-16, and the system's
// reason for a failure in words: one place for every Windows part (the
// program, the simulated inpout32.dll). Windows only.

#include <string>

namespace quorvane::win32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// The system's words for an error code (a DWORD), on one line, without the
// full stop and line end the system adds; "system error <code>" when it has
// none. As the POSIX parts give strerror's words.
std::string SystemErrorWords(unsigned long code);
// "<the system's words> (error <code>)", or "error <code>" alone.
std::string SystemErrorText(unsigned long code);
// The same for GetLastError(), read first thing.
std::string LastSystemErrorText();

}  // namespace quorvane::win32
