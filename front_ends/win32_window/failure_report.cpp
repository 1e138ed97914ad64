#include "front_ends/win32_window/failure_report.h"

#include <windows.h>

#include "common/windows_text.h"
#include "core/life/program_life.h"
#include "core/status_window/window_description.h"

namespace quorvane::win32 {

void ShowFailureBox(const std::string& text) {
  // No owner: at start-up the window is hidden, and a box owned by it would
  // hide too. Task-modal: the window, if shown, takes no input meanwhile.
  MessageBoxW(nullptr, Wide(text).c_str(), Wide(status_window::kCaption).c_str(),
              MB_ICONERROR | MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

void WriteErrorLine(const std::string& line) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  const std::string ended = line + "\r\n";
  DWORD written = 0;
  // Nowhere left to report a failure of this.
  WriteFile(error, ended.data(), static_cast<DWORD>(ended.size()), &written, nullptr);
}

void ReportFailure(const std::string& message) {
  WriteErrorLine(ErrorLine(message));
  ShowFailureBox(FailureBoxText(message));
}

}  // namespace quorvane::win32
