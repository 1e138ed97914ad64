#pragma once

// The scheduling rights a program is run with, as it would have them
// installed: the window program as an ordinary user (no real-time class of
// its own), the text front end as the systemd service grants it
// (LimitRTPRIO=1). The benchmark usually runs as root, whose CAP_SYS_NICE
// would let any program take a real-time class: it is dropped.

#include <string>
#include <vector>

namespace quorvane::bench {

// Wrappers for ProgramUnderTest::RunUnder; empty where the benchmark's own
// rights already are those (not root).
std::vector<std::string> AsAnOrdinaryUser();
std::vector<std::string> AsTheService();
// What the report should say of how the service's grant was given, for the
// wrapper AsTheService gave; "" when as the unit gives it.
std::string ServiceGrantNote(const std::vector<std::string>& wrapper);

// Which class a program answered in, from what it said on standard error:
// it tells once when it was refused a real-time class. A Windows program
// raises its thread's priority instead (which Wine may not pass on to
// Linux's scheduler).
std::string ClassAnswered(const std::string& standardError, bool windows);

}  // namespace quorvane::bench
