// Looks at Quorvane's window from another Windows process in the same Wine
// session, and works it the way a user would, for the window tests:
//
//   window_probe describe SECONDS   waits for the window to show, then prints
//                                   its caption, place on the screen (left
//                                   top width height), client size, DPI and each
//                                   control in z order (which is the tab order)
//   window_probe click-ok SECONDS   clicks the default button; waits until the
//                                   window is minimised
//   window_probe press-enter SECONDS
//                                   presses Enter in the window; waits until
//                                   it is minimised
//   window_probe restore SECONDS    restores it; waits until it is
//   window_probe icons EXE          prints each image of the program's icon
//                                   resource: its size, colours and bits
//   window_probe close              asks it to close (as the title bar's X does)
//   window_probe load-library FILE  loads that DLL by its whole name and
//                                   frees it (a planted library's own mark)
//   window_probe dismiss-box SECONDS
//                                   waits for a message box with the window's
//                                   caption, prints its text and whether the
//                                   window itself is visible, presses Enter in
//                                   it and waits until it has gone
//
// Exit status 0 when done, 1 when what it waited for did not come, 2 on bad
// usage. Output is UTF-8, one fact a line.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "core/status_window/window_description.h"
#include "front_ends/win32_window/control_ids.h"

// The window's caption, which its failure box carries too.
static std::wstring Caption() {
  const std::string caption = quorvane::status_window::kCaption;
  return std::wstring(caption.begin(), caption.end());  // ASCII
}

static void PrintWide(const wchar_t* text) {
  char utf8[1024];
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
  fputs(length > 0 ? utf8 : "?", stdout);
}

struct Search {
  const wchar_t* className;
  BOOL visibleOnly;
  HWND found;
};

static BOOL CALLBACK NoteWindow(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  wchar_t className[64], caption[256];
  if (!GetClassNameW(window, className, 64) || wcscmp(className, search->className) != 0) return TRUE;
  GetWindowTextW(window, caption, 256);
  if (Caption() != caption) return TRUE;
  if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// A top-level window of the class with the window's caption, or NULL.
static HWND FindTopLevel(const wchar_t* className, BOOL visibleOnly) {
  Search search = {className, visibleOnly, nullptr};
  EnumWindows(NoteWindow, (LPARAM)&search);
  return search.found;
}

// Waits up to `seconds` for `condition(window)` to hold.
static BOOL WaitFor(BOOL (*condition)(HWND), HWND window, double seconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition(window)) return TRUE;
    if (GetTickCount() - start > (DWORD)(seconds * 1000)) return FALSE;
    Sleep(50);
  }
}

static BOOL IsMinimised(HWND window) { return IsIconic(window); }
static BOOL IsRestored(HWND window) { return IsWindowVisible(window) && !IsIconic(window); }
static BOOL IsGone(HWND window) { return !IsWindow(window) || !IsWindowVisible(window); }

static HWND WaitForForm(double seconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND form = FindTopLevel(QUORVANE_WINDOW_CLASS, TRUE);
    if (form) return form;
    if (GetTickCount() - start > (DWORD)(seconds * 1000)) {
      puts("no window");
      return NULL;
    }
    Sleep(50);
  }
}

static HWND DefaultButton(HWND form) {
  for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if ((GetWindowLongW(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) {
      wchar_t className[64];
      if (GetClassNameW(child, className, 64) && _wcsicmp(className, L"Button") == 0) return child;
    }
  return NULL;
}

static int Describe(double seconds) {
  HWND form = WaitForForm(seconds);
  if (!form) return 1;
  wchar_t text[256];
  GetWindowTextW(form, text, 256);
  fputs("caption ", stdout);
  PrintWide(text);
  RECT frame;
  GetWindowRect(form, &frame);
  printf("\nframe %ld %ld %ld %ld", frame.left, frame.top, frame.right - frame.left,
         frame.bottom - frame.top);
  RECT client;
  GetClientRect(form, &client);
  printf("\nclient %ld x %ld\n", client.right - client.left, client.bottom - client.top);
  HDC screen = GetDC(NULL);
  printf("screen dpi %d\n", GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(NULL, screen);
  printf("minimised %d\n", IsIconic(form) ? 1 : 0);
  for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[64];
    GetClassNameW(child, className, 64);
    GetWindowTextW(child, text, 256);
    RECT box;
    GetWindowRect(child, &box);
    MapWindowPoints(NULL, form, (POINT*)&box, 2);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    const BOOL button = _wcsicmp(className, L"Button") == 0;
    printf("control %d ", GetDlgCtrlID(child));
    PrintWide(button ? L"button" : L"label");
    printf(" %ld %ld %ld %ld", box.left, box.top, box.right - box.left, box.bottom - box.top);
    printf(" tabstop=%d", (style & WS_TABSTOP) ? 1 : 0);
    printf(" default=%d", button && (style & 0x0F) == BS_DEFPUSHBUTTON ? 1 : 0);
    fputs(" text=", stdout);
    PrintWide(text);
    putchar('\n');
  }
  return 0;
}

static int UntilMinimised(double seconds, BOOL byEnter) {
  HWND form = WaitForForm(seconds);
  if (!form) return 1;
  HWND ok = DefaultButton(form);
  if (!ok) {
    puts("no default button");
    return 1;
  }
  const DWORD start = GetTickCount();
  if (byEnter) {
    // Into the window's queue, as a key press is, with the focus where the
    //     window put it.
    PostMessageW(form, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(form, WM_KEYUP, VK_RETURN, 0xC01C0001);
  } else {
    PostMessageW(ok, BM_CLICK, 0, 0);
  }
  if (!WaitFor(IsMinimised, form, seconds)) {
    puts("not minimised");
    return 1;
  }
  printf("minimised after %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
  return 0;
}

static int Restore(double seconds) {
  HWND form = FindTopLevel(QUORVANE_WINDOW_CLASS, FALSE);
  if (!form) {
    puts("no window");
    return 1;
  }
  PostMessageW(form, WM_SYSCOMMAND, SC_RESTORE, 0);
  if (!WaitFor(IsRestored, form, seconds)) {
    puts("not restored");
    return 1;
  }
  puts("restored");
  return 0;
}

static int Close(void) {
  HWND form = FindTopLevel(QUORVANE_WINDOW_CLASS, FALSE);
  if (!form) {
    puts("no window");
    return 1;
  }
  PostMessageW(form, WM_CLOSE, 0, 0);
  puts("asked to close");
  return 0;
}

static int DismissBox(double seconds) {
  const DWORD start = GetTickCount();
  HWND box;
  while (!(box = FindTopLevel(L"#32770", TRUE))) {
    if (GetTickCount() - start > (DWORD)(seconds * 1000)) {
      puts("no box");
      return 1;
    }
    Sleep(50);
  }
  // The message is the box's one label with text (the icon's has none).
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[64], text[1024];
    GetClassNameW(child, className, 64);
    if (_wcsicmp(className, L"Static") != 0 || !GetWindowTextW(child, text, 1024)) continue;
    fputs("box ", stdout);
    PrintWide(text);
    putchar('\n');
  }
  printf("window visible %d\n", FindTopLevel(QUORVANE_WINDOW_CLASS, TRUE) ? 1 : 0);
  PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageW(box, WM_KEYUP, VK_RETURN, 0xC01C0001);
  if (!WaitFor(IsGone, box, seconds)) {
    puts("box still there");
    return 1;
  }
  puts("dismissed");
  return 0;
}

static int Icons(const char* path) {
  const auto kGroupIcon = MAKEINTRESOURCEW(14);  // RT_GROUP_ICON, in its wide form
  HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC group = program ? FindResourceW(program, MAKEINTRESOURCEW(QUORVANE_ICON_ID), kGroupIcon) : nullptr;
  HGLOBAL loaded = group ? LoadResource(program, group) : nullptr;
  const auto* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  if (!data) {
    puts("no icon");
    return 1;
  }
  // The group's directory: three words, then one 14-byte entry per image.
  WORD count;
  std::memcpy(&count, data + 4, sizeof count);
  for (WORD i = 0; i < count; ++i) {
    const BYTE* entry = data + 6 + 14 * i;
    WORD bits;
    std::memcpy(&bits, entry + 6, sizeof bits);
    printf("icon %dx%d colours %d bits %d\n", entry[0], entry[1], entry[2], bits);
  }
  return 0;
}

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string command = argc > 1 ? argv[1] : "";
  const double seconds = argc > 2 ? std::atof(argv[2]) : 20;
  if (command == "describe") return Describe(seconds);
  if (command == "click-ok") return UntilMinimised(seconds, FALSE);
  if (command == "press-enter") return UntilMinimised(seconds, TRUE);
  if (command == "restore") return Restore(seconds);
  if (command == "close") return Close();
  if (command == "dismiss-box") return DismissBox(seconds);
  if (command == "icons" && argc > 2) return Icons(argv[2]);
  if (command == "load-library" && argc > 2) {
    const HMODULE library = LoadLibraryA(argv[2]);
    if (!library) return 1;
    FreeLibrary(library);
    return 0;
  }
  fputs(
      "usage: window_probe describe|click-ok|press-enter|restore|dismiss-box [SECONDS] | close | icons EXE\n",
      stderr);
  return 2;
}
