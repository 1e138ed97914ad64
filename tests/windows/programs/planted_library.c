/* An inpout32.dll as a user without rights could plant it in the program's
   working folder or on PATH: loading it, and each call, leaves the file
   "planted-dll-ran" in the working folder, so a test sees whether its code
   ever ran. It answers like a port with the request raised. */
#include <windows.h>

static void LeaveMark(void) {
  HANDLE mark = CreateFileW(L"planted-dll-ran", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) LeaveMark();
  return TRUE;
}

__declspec(dllexport) short __stdcall Inp32(short port) {
  (void)port;
  LeaveMark();
  return 0x10;
}

__declspec(dllexport) void __stdcall Out32(short port, short value) {
  (void)port;
  (void)value;
  LeaveMark();
}
