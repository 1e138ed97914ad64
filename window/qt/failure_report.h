#pragma once

#include <QString>

namespace quorvane {

// The caption of the window and of the failure box.
inline constexpr char kCaption[] = "Quorvane - Tamsel";
// The failure box's object name, by which tests find it.
inline constexpr char kFailureBoxName[] = "failureBox";

// Tells the user why the program has to stop: one line "quorvane: <message>"
// on standard error, for people who started it from a terminal or a script,
// then a modal message box naming the failure. Returns when the box is
// dismissed; ending the program is the caller's job.
void ReportFailure(const QString& message);

}  // namespace quorvane
