#pragma once

#include <string>

namespace quorvane {

// A modal message box, captioned as the window, that names why the program
// has to stop. Returns when it is dismissed; ending the program is the
// caller's job.
void ShowFailureBox(const std::string& text);

}  // namespace quorvane
