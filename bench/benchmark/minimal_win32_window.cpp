// quorvane-bench-minimal-win32.exe: the floor under Quorvane.exe under Wine,
// for its idle cost and for the poll timer's precision. One window with one static
// label and the poll timer as the program has it: the same waitable timer
// (window/tick_timer_win32.h) waited for by the same message loop
// (front_ends/win32_window/message_loop.h). Each tick does only what an idle tick of the
// program does: it reads the status port once through inpout32.dll, loaded
// from the program's folder as the program loads it and asked for its last
// error as the program asks, so the benchmark sees these ticks in the
// simulated port's record as it sees the program's; and it leaves the label
// alone, as the program leaves a status line that already shows the text.
// It takes no port mark: it runs beside the program, each on a simulated
// port of its own.

#include <windows.h>

#include <exception>
#include <string>

#include "common/failure.h"
#include "common/windows_text.h"
#include "core/life/tick_timer.h"
#include "core/status_window/status_display.h"
#include "core/status_window/window_description.h"
#include "front_ends/win32_window/failure_report.h"
#include "front_ends/win32_window/message_loop.h"
#include "port/dynamic_library.h"
#include "port/inpout_abi.h"
#include "port/port_map.h"

namespace {

using quorvane::Failure;

constexpr char kName[] = "quorvane-bench-minimal-win32";

// The port library's two operations an idle poll uses.
class StatusPort {
 public:
  StatusPort() : library_(INPOUT_LIBRARY_NAME) {
    std::string reason;
    inp32_ = reinterpret_cast<Inp32Function>(library_.Find("Inp32", &reason));
    if (!inp32_) throw Failure(std::string(INPOUT_LIBRARY_NAME) + " has no Inp32: " + reason);
    lastError_ = reinterpret_cast<InpOutLastErrorFunction>(library_.Find("InpOutLastError", nullptr));
  }

  short Read() const {
    const short value = inp32_(quorvane::port_map::kStatus);
    if (lastError_) {
      const char* text = lastError_();
      if (text && *text) throw Failure(std::string("reading the status port failed: ") + text);
    }
    return value;
  }

 private:
  quorvane::DynamicLibrary library_;
  Inp32Function inp32_ = nullptr;
  InpOutLastErrorFunction lastError_ = nullptr;
};

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

struct Window {
  HWND window = nullptr;
  HWND label = nullptr;
};

Window MakeWindow(const std::string& text) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Procedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"QuorvaneBenchMinimalWindow";
  if (!RegisterClassExW(&windowClass))
    throw Failure("cannot register the window class: " + quorvane::win32::LastSystemErrorText());
  Window made;
  made.window = CreateWindowExW(0, windowClass.lpszClassName, L"quorvane-bench minimal Win32 window",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                CW_USEDEFAULT, 320, 120, nullptr, nullptr, instance, nullptr);
  if (!made.window) throw Failure("cannot create the window: " + quorvane::win32::LastSystemErrorText());
  made.label = CreateWindowExW(0, L"STATIC", quorvane::win32::Wide(text).c_str(),
                               WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 56, 32, 193, 33,
                               made.window, nullptr, instance, nullptr);
  if (!made.label) throw Failure("cannot create the label: " + quorvane::win32::LastSystemErrorText());
  ShowWindow(made.window, SW_SHOWDEFAULT);
  UpdateWindow(made.window);
  return made;
}

void WriteError(const std::string& message) {
  quorvane::win32::WriteErrorLine(std::string(kName) + ": " + message);
}

}  // namespace

int main() {
  try {
    const StatusPort port;
    std::string shown = quorvane::status_texts::kWaitingForRequest;
    const Window window = MakeWindow(shown);
    // As the program shows a status text: only a change is drawn.
    auto setLabel = [&](const std::string& text) {
      if (text == shown) return;
      shown = text;
      if (!SetWindowTextW(window.label, quorvane::win32::Wide(text).c_str()))
        throw Failure("cannot set the label: " + quorvane::win32::LastSystemErrorText());
    };
    quorvane::TickTimer timer1(quorvane::status_window::kPollTimer.interval);
    timer1.Start();
    return quorvane::win32::RunMessageLoop(
        window.window, timer1,
        [&] {
          port.Read();
          setLabel(quorvane::status_texts::kWaitingForRequest);
        },
        [](const std::string& failure) {
          WriteError(failure);
          PostQuitMessage(1);
        });
  } catch (const std::exception& failure) {
    WriteError(failure.what());
  }
  return 1;
}
