#pragma once

// How the Windows program tells a failure: a message box, and the
// "quorvane: ..." line on standard error when it was started with one.

#include <string>

namespace quorvane::win32 {

// A modal error box with the window's caption; returns when dismissed.
void ShowFailureBox(const std::string& text);

// The line, ended by CR LF, on the standard error handle when there is
// one: a GUI program has none unless its starter gave it one.
void WriteErrorLine(const std::string& line);

// Both, for a failure outside the program's life (the window could not be
// made): the line first, then the box.
void ReportFailure(const std::string& message);

}  // namespace quorvane::win32
