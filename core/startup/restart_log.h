#pragma once

#include <filesystem>

#include "common/clock.h"

namespace quorvane {

// The restart log, resolved against the current working directory.
inline constexpr char kRestartLogName[] = "Quorvane.log";

// Appends one line, "MM-DD-YYYY hh:mm:ss" CR LF, with the date and time read
// afresh; the file is created when missing and closed again before return.
// When the file ends inside a line, a CR LF goes first so the stamp starts a
// line of its own (for a log that may not be read, its length tells: see the
// .cpp). Throws Failure naming the file and the system's reason.
void AppendRestartStamp(const Clock& clock, const std::filesystem::path& logFile = kRestartLogName);

}  // namespace quorvane
