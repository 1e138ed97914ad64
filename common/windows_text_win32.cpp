#include <windows.h>

#include "common/windows_text.h"

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

namespace {

// The system's own words, or nothing.
std::wstring SystemWords(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = length ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!words.empty() &&
         (words.back() == L'\n' || words.back() == L'\r' || words.back() == L'.' || words.back() == L' '))
    words.pop_back();
  return words;
}

}  // namespace

std::string SystemErrorWords(unsigned long code) {
  const std::wstring words = SystemWords(code);
  return words.empty() ? "system error " + std::to_string(code) : Utf8(words);
}

std::string SystemErrorText(unsigned long code) {
  const std::wstring words = SystemWords(code);
  const std::string number = "error " + std::to_string(code);
  return words.empty() ? number : Utf8(words) + " (" + number + ")";
}

std::string LastSystemErrorText() { return SystemErrorText(GetLastError()); }

}  // namespace quorvane::win32
