#pragma once

// The processes Wine runs for a whole session rather than for one program:
// the wineserver, through which the waits, timers and messages of every
// Windows program of the session pass, and Wine's own services
// (services.exe, explorer.exe, ...). What they spend while the programs
// idle is shared by all of them, and no one program's own.

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace quorvane::bench {

// The processes whose environment names `prefix` as WINEPREFIX and whose
// name is the wineserver's or a Windows program's (ending in .exe), less
// the programs' own processes in `programs`.
std::vector<pid_t> WineSessionProcesses(const std::string& prefix, const std::vector<pid_t>& programs);

// Each one's time on a CPU so far, in seconds (ScheduledSeconds); a process
// that has ended is left out.
std::map<pid_t, double> ScheduledSecondsOf(const std::vector<pid_t>& processes);

// The time spent between two readings by the processes in both.
double SpentBetween(const std::map<pid_t, double>& before, const std::map<pid_t, double>& after);

}  // namespace quorvane::bench
