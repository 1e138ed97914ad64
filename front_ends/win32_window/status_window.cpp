#include "front_ends/win32_window/status_window.h"

#include <commctrl.h>

#include <exception>
#include <vector>

#include "common/failure.h"
#include "common/windows_text.h"
#include "core/status_window/font_policy.h"
#include "front_ends/win32_window/control_ids.h"
#include "front_ends/win32_window/dpi.h"
#include "front_ends/win32_window/failure_report.h"
#include "front_ends/win32_window/message_loop.h"

namespace quorvane::win32 {

namespace {

// A fixed-size window: a caption with the system menu and a minimise box,
// no sizing border, no maximise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;

int ControlId(std::size_t control) { return QUORVANE_FIRST_CONTROL_ID + static_cast<int>(control); }

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = QUORVANE_WINDOW_CLASS;
  // Both sizes of the one icon: the caption and taskbar take the small one,
  // Alt+Tab the large.
  windowClass.hIcon =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(QUORVANE_ICON_ID), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  windowClass.hIconSm =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(QUORVANE_ICON_ID), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw Failure("cannot register the window class: " + LastSystemErrorText());
}

}  // namespace

StatusWindow::StatusWindow(PortIo& port, const Clock& clock)
    : pollTimer_(status_window::kPollTimer.interval),
      life_(*this, *this, port, clock, *sleeper_, *priority_) {
  // The buttons in the desktop's current style (the manifest asks for
  // Common Controls 6).
  INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&commonControls);

  const HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass(instance, &StatusWindow::Procedure);
  // Made hidden, at a size set once its screen's DPI is known.
  window_ = CreateWindowExW(kWindowExStyle, QUORVANE_WINDOW_CLASS, Wide(status_window::kCaption).c_str(),
                            kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                            nullptr, instance, this);
  if (!window_) throw Failure("cannot create the window: " + LastSystemErrorText());
  CreateControls();
  LayOut(WindowDpi(window_));
}

StatusWindow::~StatusWindow() {
  ending_ = true;
  if (window_) DestroyWindow(window_);
}

void StatusWindow::CreateControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  // Created in tab order: the z order, which the tab order follows, is the
  // creation order.
  for (std::size_t i = 0; i < status_window::kControls.size(); ++i) {
    const status_window::Control& control = status_window::kControls[i];
    const bool label = control.kind == status_window::ControlKind::kLabel;
    // Labels take no focus and show their text on one line, clipped rather
    // than wrapped; the fonts are chosen so that nothing is clipped.
    const DWORD style = WS_CHILD | WS_VISIBLE |
                        (label ? SS_LEFTNOWORDWRAP | SS_NOPREFIX
                               : WS_TABSTOP | (control.isDefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
    controls_[i] = CreateWindowExW(
        0, label ? L"STATIC" : L"BUTTON", Wide(control.initialText).c_str(), style, 0, 0, 0, 0, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(i))), instance, nullptr);
    if (!controls_[i])
      throw Failure(std::string("cannot create the control ") + control.name + ": " + LastSystemErrorText());
  }
}

void StatusWindow::LayOut(int dpi) {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const status_window::Box box = status_window::BoxInPixels(status_window::kControls[i].twips, dpi);
    SetWindowPos(controls_[i], nullptr, box.left, box.top, box.width, box.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const font_policy::WindowFonts fonts = font_policy::Choose(GdiTextMeasurer(dpi), MessageFont(), dpi);
  Font windowFont = MakeFont(fonts.window, dpi);
  Font statusFont = MakeFont(fonts.statusLine, dpi);
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const HFONT font = i == status_window::kStatusLine ? statusFont.Handle() : windowFont.Handle();
    SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  // The controls use the new fonts now; the old ones may go.
  windowFont_ = std::move(windowFont);
  statusFont_ = std::move(statusFont);

  const SIZE frame = FrameForClient(status_window::TwipsToPixels(status_window::kClientSize.width, dpi),
                                    status_window::TwipsToPixels(status_window::kClientSize.height, dpi),
                                    kWindowStyle, kWindowExStyle, dpi);
  SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window_, nullptr, TRUE);
}

void StatusWindow::StartTimer() { pollTimer_.Start(); }

void StatusWindow::StopTimer() { pollTimer_.Stop(); }

void StatusWindow::ShowWindow() {
  // As the starter asked (a shortcut may ask for a minimised start).
  ::ShowWindow(window_, SW_SHOWDEFAULT);
  UpdateWindow(window_);
}

void StatusWindow::MinimiseWindow() { ::ShowWindow(window_, SW_MINIMIZE); }

void StatusWindow::SetControlText(std::size_t control, const std::string& text) {
  if (!SetWindowTextW(controls_[control], Wide(text).c_str()))
    throw Failure("cannot show \"" + text + "\" in " + status_window::kControls[control].name + ": " +
                  LastSystemErrorText());
  // Painted here and now (the paint message is sent, not queued).
  RedrawWindow(controls_[control], nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void StatusWindow::WriteErrorLine(const std::string& line) { win32::WriteErrorLine(line); }
void StatusWindow::ShowFailureBox(const std::string& text) { win32::ShowFailureBox(text); }

int StatusWindow::RunEventLoop() {
  // Nothing in a tick runs this loop: no tick can start inside another.
  return RunMessageLoop(
      window_, pollTimer_, [this] { life_.OnPollTick(); },
      [this](const std::string& failure) { life_.FrontEndFailed(failure); });
}

void StatusWindow::EndEventLoop(int status) {
  ending_ = true;
  PostQuitMessage(status);
}

LRESULT CALLBACK StatusWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<StatusWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<StatusWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  // Nothing may leave a window procedure: the system's code lies between it
  // and any handler further out.
  try {
    return form->Handle(message, wParam, lParam);
  } catch (const std::exception& failure) {
    try {
      form->life_.FrontEndFailed(failure.what());
    } catch (...) {
      PostQuitMessage(kFailureExitStatus);
    }
  } catch (...) {
    try {
      form->life_.FrontEndFailed("");
    } catch (...) {
      PostQuitMessage(kFailureExitStatus);
    }
  }
  return 0;
}

LRESULT StatusWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const std::size_t ok = status_window::DefaultButtonIndex();
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == ControlId(ok) && HIWORD(wParam) == BN_CLICKED) {
        life_.OkClicked();
        return 0;
      }
      break;
    case DM_GETDEFID:  // asked by IsDialogMessageW when Enter is pressed
      return MAKELRESULT(ControlId(ok), DC_HASDEFID);
    case WM_SETFOCUS:
      // The button is the only stop of the tab order.
      if (controls_[ok]) SetFocus(controls_[ok]);
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == controls_[status_window::kStatusLine]) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        const status_window::Rgb colour = status_window::kStatusLineColour;
        SetTextColor(dc, RGB(colour.red, colour.green, colour.blue));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_DPICHANGED: {
      // Moved to a screen of another DPI: laid out anew there, where the
      // system suggests.
      LayOut(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY:
      // Closing ends the program; nothing is written on the way out.
      if (!ending_) {
        ending_ = true;
        PostQuitMessage(0);
      }
      return 0;
    default: break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace quorvane::win32
