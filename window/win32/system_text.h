#pragma once

// Texts between the program (UTF-8) and the Windows API (UTF-16), and the
// system's reason for a failure in words.

#include <windows.h>

#include <string>

namespace quorvane::win32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// "<the system's message> (error <code>)", on one line, without the full
// stop and line end the system adds.
std::string SystemErrorText(DWORD code);
// The same for GetLastError(), read first thing.
std::string LastSystemErrorText();

}  // namespace quorvane::win32
