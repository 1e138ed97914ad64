#include "window/win32/system_text.h"

namespace quorvane::win32 {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::string SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = length ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L'.' ||
                             reason.back() == L' '))
    reason.pop_back();
  const std::string number = "error " + std::to_string(code);
  return reason.empty() ? number : Utf8(reason) + " (" + number + ")";
}

std::string LastSystemErrorText() { return SystemErrorText(GetLastError()); }

}  // namespace quorvane::win32
